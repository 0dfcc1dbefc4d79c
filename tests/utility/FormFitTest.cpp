#include "utility/FormFit.h"

#include <gtest/gtest.h>

using zlv::FormFit;
using zlv::TwipScale;

namespace {

bool Same(const FormFit::Rect& a, const FormFit::Rect& b)
{
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

} // namespace

TEST(FormFit, DesignLengthsFollowTheScaleWhenEveryTextFits)
{
    FormFit form(TwipScale{1.5, 1.5});
    const int option = form.add(90, 900, 900, 300, 40, 18);
    const int picker = form.add(2580, 900, 3015, 300);
    form.solve();
    EXPECT_TRUE(Same(form.rect(option), {9, 90, 90, 30}));
    EXPECT_TRUE(Same(form.rect(picker), {258, 90, 302, 30}));
    EXPECT_EQ(form.x(10845), 1085);
}

TEST(FormFit, ATextThatLacksRoomWidensTheFormAtItsFarEdgeOnly)
{
    // A row like the main window's: two options, a label sized to its text, a picker; and
    // below them a list that starts at the left margin.
    FormFit form;
    const int today = form.add(90, 900, 900, 300, 50, 0);              // fits in 60 pixels
    const int history = form.add(1080, 900, 960, 300, 80, 0);          // 64 pixels: 16 short
    const int from = form.addSizedToText(2130, 953, 2580, 195, 20, 0); // room: 28
    const int picker = form.add(2580, 900, 3015, 300, 250, 0);         // 201 pixels: 49 short
    const int list = form.add(90, 1245, 10665, 4000);
    form.solve();

    EXPECT_TRUE(Same(form.rect(today), {6, 60, 60, 20})) << "left of every short edge";
    EXPECT_EQ(form.rect(history).x, 72);
    EXPECT_EQ(form.rect(history).width, 80) << "grown to its text";
    EXPECT_EQ(form.rect(from).x, 142 + 16) << "moved on by what the option took";
    EXPECT_EQ(form.rect(from).width, 20) << "as wide as its text";
    EXPECT_EQ(form.rect(picker).x, 172 + 16);
    EXPECT_EQ(form.rect(picker).width, 250);
    EXPECT_EQ(form.rect(list).x, 6) << "starts left of both edges";
    EXPECT_EQ(form.rect(list).width, 711 + 16 + 49) << "reaches beyond both: grows by both";
    EXPECT_EQ(form.x(10845), 723 + 16 + 49);
}

TEST(FormFit, ATallerTextMovesWhatLiesBelowAndChildrenCountFromTheirFrame)
{
    FormFit form;
    const int frame = form.add(150, 150, 3000, 1500);
    const int label = form.add(120, 240, 1200, 195, 0, 20, frame); // 13 pixels: 7 short
    const int field = form.add(120, 600, 2000, 300, 0, 0, frame);
    const int button = form.add(150, 1800, 1200, 375);
    form.solve();

    EXPECT_TRUE(Same(form.rect(label), {8, 16, 80, 20})) << "inside the frame";
    EXPECT_EQ(form.rect(field).y, 40 + 7) << "below the grown label, in the frame";
    EXPECT_EQ(form.rect(frame).height, 100 + 7) << "the frame holds it";
    EXPECT_EQ(form.rect(button).y, 120 + 7);
    EXPECT_EQ(form.rect(99).width, 0) << "an unknown control has no place";
}
