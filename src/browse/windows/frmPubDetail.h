#pragma once

#include "logstore/windows/LogListView.h"
#include "utility/windows/FormDialog.h"

#include <array>
#include <functional>
#include <string>

namespace zlv::win {

// One row of the visible list in six fields, with buttons that step through the list and
// one that copies a field. It keeps no row of its own: stepping moves the list's selection,
// so closing the dialog leaves the user where they stopped reading.
class frmPubDetail final : public FormDialog
{
public:
    // Asked again at every press: records keep arriving while the dialog is open, and each
    // one may rebuild the list under it.
    using VisibleList = std::function<LogListView&()>;

    enum Field
    {
        kDateAndTime = 0,
        kObject,
        kAction,
        kPath,
        kOriginalName,
        kNewName,
        kFieldCount
    };
    enum Button
    {
        kFirst = 0,
        kPrevious,
        kNext,
        kLast,
        kCopy,
        kClose,
        kButtonCount
    };
    // Control numbers: txt(i) and its label, cmb(i); Close is the dialog's cancel button.
    static constexpr int kTxt = 1100;
    static constexpr int kLbl = 1110;
    static constexpr int kCmb = 1120;
    static constexpr int ButtonId(int index) { return index == kClose ? IDCANCEL : kCmb + index; }

    // Runs the dialog modally over `owner` for the list `visibleList` gives. An empty list
    // gets a message instead, and a list with no selection starts at its top row.
    static void Open(HWND owner, VisibleList visibleList);
    // The dialog that Open runs, if any (for tests and the benchmark, which drive it from
    // inside its modal loop).
    static frmPubDetail* openInstance();

    void first() { step(kFirst); }
    void previous() { step(kPrevious); }
    void next() { step(kNext); }
    void last() { step(kLast); }
    void copy();
    int currentField() const { return m_current; }
    std::wstring fieldText(int field) const;

private:
    explicit frmPubDetail(VisibleList visibleList);

    void createControls() override;
    SIZE layout(UINT dpi) override;
    bool started() override;
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    void step(Button which);
    void fill(int row);

    VisibleList m_visibleList;
    int m_current = kDateAndTime;
};

} // namespace zlv::win
