#include "browse/windows/frmPubDetail.h"

#include "browse/DetailSteps.h"
#include "utility/MessageBox.h"

#include <cstring>

namespace zlv::win {

namespace {

constexpr UINT kSelectField = WM_APP + 1; // the field in wParam gets its whole text selected

frmPubDetail* g_open = nullptr;

struct FieldSpec
{
    const wchar_t* caption;
    int top;
};
constexpr FieldSpec kFields[] = {
    {L"&Date And Time", 90}, {L"&Object", 480},         {L"&Action", 870},
    {L"&Path", 1260},        {L"O&riginal Name", 1650}, {L"&New Name", 2040},
};
constexpr int kFieldLeft = 1230;
constexpr int kFieldWidth = 5730;
constexpr int kFieldHeight = 300;
constexpr int kLabelEnd = 1140;

struct ButtonSpec
{
    const wchar_t* caption;
    const wchar_t* tip;
    int left;
};
constexpr ButtonSpec kButtons[] = {
    {L"|<<", L"Display the first row.", 3000}, {L"<<", L"Display the previous row.", 3675},
    {L">>", L"Display the next row.", 4350},   {L">>|", L"Display the last row.", 5025},
    {L"&Copy", L"Copy current field.", 5700},  {L"C&lose", L"Close this dialog box.", 6375},
};
constexpr int kButtonTop = 2430;
constexpr int kButtonWidth = 585;
constexpr int kButtonHeight = 360;

// Clears the clipboard and puts `text` on it as plain text; an empty text leaves it holding
// the empty text rather than what was there before.
void PutOnClipboard(HWND owner, const std::wstring& text)
{
    if (!OpenClipboard(owner)) {
        return; // another program holds it: the copy is skipped
    }
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* at = GlobalLock(memory)) {
            std::memcpy(at, text.c_str(), bytes);
            GlobalUnlock(memory);
            if (!SetClipboardData(CF_UNICODETEXT, memory)) {
                GlobalFree(memory); // still ours when the clipboard did not take it
            }
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

} // namespace

frmPubDetail::frmPubDetail(VisibleList visibleList)
    : FormDialog(L"Detail View"), m_visibleList(std::move(visibleList))
{}

frmPubDetail* frmPubDetail::openInstance()
{
    return g_open;
}

void frmPubDetail::Open(HWND owner, VisibleList visibleList)
{
    if (!visibleList || visibleList().rowCount() == 0) {
        MessageBox::show("No available data for display.", MessageBox::Icon::Information);
        return;
    }
    LogListView& list = visibleList();
    // The dialog shows the selected row; a list that selects none gets its top row.
    if (list.selectedRow() < 0) {
        list.showRow(0);
    }
    frmPubDetail dialog(std::move(visibleList));
    frmPubDetail* const outer = g_open;
    g_open = &dialog;
    dialog.runModal(owner);
    g_open = outer;
}

void frmPubDetail::createControls()
{
    // Made in the tab order: each label, then its field; then the buttons.
    for (int i = 0; i < kFieldCount; ++i) {
        addControl(L"STATIC", kFields[i].caption, SS_RIGHT | SS_CENTERIMAGE, kLbl + i);
        const HWND field = addControl(L"EDIT", L"", WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
                                      kTxt + i, WS_EX_CLIENTEDGE);
        // A damaged record's field may be longer than a field holds by default.
        SendMessageW(field, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    }
    for (int i = 0; i < kButtonCount; ++i) {
        const DWORD style =
            WS_TABSTOP | (i == kCopy ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | (i == 0 ? WS_GROUP : 0);
        const HWND button = addControl(L"BUTTON", kButtons[i].caption, style, ButtonId(i));
        addTip(button, kButtons[i].tip);
    }
    // Enter in a field copies it.
    SendMessageW(hwnd(), DM_SETDEFID, ButtonId(kCopy), 0);
    if (const int row = m_visibleList().selectedRow(); row >= 0) {
        fill(row);
    }
}

SIZE frmPubDetail::layout(UINT)
{
    FormFit form(scale());
    const SIZE field = fieldNeed(font());
    int labels[kFieldCount];
    int fields[kFieldCount];
    for (int i = 0; i < kFieldCount; ++i) {
        const SIZE need = labelNeed(kFields[i].caption, font());
        labels[i] = form.add(kFormMarginTwips, kFields[i].top, kLabelEnd - kFormMarginTwips,
                             kFieldHeight, need.cx, need.cy);
        fields[i] = form.add(kFieldLeft, kFields[i].top, kFieldWidth, kFieldHeight, 0, field.cy);
    }
    int buttons[kButtonCount];
    for (int i = 0; i < kButtonCount; ++i) {
        // The stepping buttons have bold captions.
        const HFONT chosen = i <= kLast ? boldFont() : font();
        SendMessageW(control(ButtonId(i)), WM_SETFONT, reinterpret_cast<WPARAM>(chosen), FALSE);
        const SIZE need = buttonNeed(kButtons[i].caption, chosen);
        buttons[i] =
            form.add(kButtons[i].left, kButtonTop, kButtonWidth, kButtonHeight, need.cx, need.cy);
    }
    form.solve();
    for (int i = 0; i < kFieldCount; ++i) {
        place(control(kLbl + i), form.rect(labels[i]));
        place(control(kTxt + i), form.rect(fields[i]));
    }
    for (int i = 0; i < kButtonCount; ++i) {
        place(control(ButtonId(i)), form.rect(buttons[i]));
    }
    // The client area ends 90 twips right of and below the Close button.
    return {form.x(kButtons[kClose].left + kButtonWidth + kFormMarginTwips),
            form.y(kButtonTop + kButtonHeight + kFormMarginTwips)};
}

bool frmPubDetail::started()
{
    m_current = kDateAndTime;
    const HWND field = control(kTxt + kDateAndTime);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 0, -1);
    return false;
}

bool frmPubDetail::handle(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    result = 0;
    if (message == kSelectField) {
        SendMessageW(control(kTxt + static_cast<int>(wParam)), EM_SETSEL, 0, -1);
        return true;
    }
    if (message != WM_COMMAND) {
        return false;
    }
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id >= kTxt && id < kTxt + kFieldCount) {
        if (code == EN_SETFOCUS) {
            m_current = id - kTxt;
            // After the click that brought the focus has placed its caret.
            PostMessageW(hwnd(), kSelectField, static_cast<WPARAM>(m_current), 0);
        }
        return true;
    }
    switch (id) {
    case kCmb + kFirst:
        first();
        return true;
    case kCmb + kPrevious:
        previous();
        return true;
    case kCmb + kNext:
        next();
        return true;
    case kCmb + kLast:
        last();
        return true;
    case kCmb + kCopy:
        copy();
        return true;
    case IDCANCEL:
        close(IDCANCEL);
        return true;
    default:
        return false;
    }
}

void frmPubDetail::step(Button which)
{
    static constexpr zlv::detail::Step kSteps[] = {
        zlv::detail::Step::First, zlv::detail::Step::Previous, zlv::detail::Step::Next,
        zlv::detail::Step::Last};
    if (which > kLast || !m_visibleList) {
        return;
    }
    // The list of this moment: Today may be the one shown now, and rebuilt since.
    LogListView& list = m_visibleList();
    const int selected = list.selectedRow();
    const int target = zlv::detail::StepTarget(kSteps[which], selected, list.rowCount());
    if (target < 0) {
        return;
    }
    if (target != selected) {
        list.showRow(target);
    }
    // Shown again even when nothing moved, so that the fields always show the selected
    // row, also after a rebuild under the open dialog.
    fill(target);
}

void frmPubDetail::fill(int row)
{
    const LogListView& list = m_visibleList();
    for (int column = 0; column < kFieldCount; ++column) {
        const HWND field = control(kTxt + column);
        SetWindowTextW(field, list.textAt(row, column).c_str());
        SendMessageW(field, EM_SETSEL, 0, 0); // the beginning of a long path shows
    }
    if (GetFocus() == control(kTxt + m_current)) {
        SendMessageW(control(kTxt + m_current), EM_SETSEL, 0, -1);
    }
}

std::wstring frmPubDetail::fieldText(int field) const
{
    const HWND box = control(kTxt + field);
    const int length = GetWindowTextLengthW(box);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(box, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

void frmPubDetail::copy()
{
    PutOnClipboard(hwnd(), fieldText(m_current));
}

} // namespace zlv::win
