#include "capture/ShellEvents.h"

#include <gtest/gtest.h>
#include <string>

using namespace zlv::shell;

TEST(ShellEvents, ValuesOutsideTheTableHaveNoName)
{
    // Combined bits, a bit the system never sends and the empty mask must not borrow the
    // name of a neighbour.
    for (std::uint32_t other : {0u, 0x80000002u, 0x00000003u, 0x00080000u, 0xFFFFFFFFu}) {
        EXPECT_EQ(EventName(other), "") << std::hex << other;
    }
}

TEST(ShellEvents, OnlyTheTenOperationEventsAreClassified)
{
    int recorded = 0;
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        if (!Classify(EventName(bit)).object.empty()) {
            ++recorded;
        }
    }
    EXPECT_EQ(recorded, 10);
    EXPECT_EQ(Classify("shcne_create").object, "") << "names compare with case";
    EXPECT_EQ(Classify("").object, "");
}
