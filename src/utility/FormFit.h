#pragma once

#include "utility/Twips.h"

#include <map>
#include <vector>

namespace zlv {

// Places the controls of a form drawn in twips, for front ends that measure their own
// text. Every length follows the scale; where a control's text still needs more room than
// that gives it, the form widens (or lengthens) at that control's far edge, and whatever
// lies beyond the edge moves on by the same amount: what stood left of, above or aligned
// with something still does.
class FormFit final
{
public:
    struct Rect
    {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        int right() const { return x + width; }
        int bottom() const { return y + height; }
    };

    explicit FormFit(TwipScale scale = {}) : m_scale(scale) {}

    // A control of the design; `needWidth` and `needHeight` are what its text needs, in
    // pixels (0 for no need). Inside a `parent` control (a frame) the twips count from the
    // parent's corner, and so does its rect(). Returns the control's number.
    int add(int left, int top, int width, int height, int needWidth = 0, int needHeight = 0,
            int parent = -1);
    // A label as wide as its text, which may reach up to `roomRight`.
    int addSizedToText(int left, int top, int roomRight, int height, int needWidth, int needHeight,
                       int parent = -1);

    // The design width of a label sized to its text that may reach up to `roomRight`.
    static int SizedToTextWidth(int left, int roomRight);

    // Settles the room every text needs. Call once, after the last add().
    void solve();

    // Where the control lies, in pixels, on its parent.
    Rect rect(int control) const;
    // Where a point of the design, in twips on the form, lies in pixels.
    int x(int twips) const;
    int y(int twips) const;
    const TwipScale& scale() const { return m_scale; }

private:
    struct Item
    {
        int left, top, right, bottom; // twips, on the form
        int needWidth, needHeight;
        bool sizedToText;
        int parent;
    };
    static int Shifted(const std::map<int, int>& inserted, int at);

    TwipScale m_scale;
    std::vector<Item> m_items;
    std::map<int, int> m_wider;  // design point -> pixels added there
    std::map<int, int> m_longer; // the same, downwards
};

} // namespace zlv
