#pragma once

#include "utility/FormFit.h"
#include "utility/FormFont.h"
#include "utility/Twips.h"

#include <QSize>
#include <qnamespace.h>
#include <vector>

class QWidget;

namespace zlv {

// A dialog the user cannot resize: a title bar with its menu and close button alone.
inline constexpr Qt::WindowFlags kFixedDialogFlags =
    Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
    Qt::WindowCloseButtonHint;

// How far a font's character width and line height are from the design font's: the
// scale at which a form drawn in twips looks as designed in that font.
TwipScale FontScale(const QFont& font);

// The least size at which a control shows its whole text: the text (for a list, its
// longest entry; for a date, the longest date of its format) plus what the style draws
// around it. An empty size for a control without text.
QSize TextNeed(const QWidget& control);

// Places the controls of a form drawn in twips. Every length follows the form font
// (FontScale). Where a control's text still needs more room than that gives it, the form
// widens (or lengthens) at that control's far edge: whatever lies beyond the edge moves
// on by the same amount, so what stands left of, under or aligned with what stays so.
class FormLayout final
{
public:
    explicit FormLayout(const QFont& font = FormFont());

    // The control takes its design rectangle on its parent; when the parent was placed
    // here too (a frame), the twips count from the parent's corner.
    void place(QWidget* control, int left, int top, int width, int height);
    // A label as wide as its text, which may reach up to `roomRight` on its parent.
    void placeSizedToText(QWidget* control, int left, int top, int roomRight, int height);

    // Settles the room every text needs and moves every control to its place. The
    // window learns the font's scale as the property "formScale" (a QSizeF; 1 by 1 is
    // the design's font).
    void apply();

    // Where a point of the design, in twips on the form itself, lies in pixels.
    int x(int twips) const;
    int y(int twips) const;
    const TwipScale& scale() const { return m_scale; }

private:
    struct Item
    {
        QWidget* control;
        int left, top, width, height; // twips, on the parent when it was placed here too
        int roomRight;                // for a label sized to its text; -1 for others
        int parent;                   // the index of the placed parent, or -1
    };
    int find(const QWidget* control) const;

    std::vector<Item> m_items;
    TwipScale m_scale;
    FormFit m_fit; // the places, once apply() has measured the texts
};

} // namespace zlv
