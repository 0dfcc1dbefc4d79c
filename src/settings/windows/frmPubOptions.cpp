#include "settings/windows/frmPubOptions.h"

#include "settings/DisplayFormat.h"
#include "settings/OptionsChoice.h"
#include "utility/Clock.h"
#include "utility/windows/FormMetrics.h"
#include "utility/windows/WinText.h"

namespace zlv::win {

namespace {

// Lengths in twips on the form; the frame's controls are given where they lie on the form
// (the design's positions in the frame plus the frame's corner), so that text pushing one
// of them wider moves the frame's edge too.
constexpr int kFrameLeft = 90;
constexpr int kFrameTop = 90;
constexpr int kFrameWidth = 5550;
constexpr int kFrameHeight = 2145;
constexpr int kListHeight = 315;
constexpr int kLabelHeight = 195;
// A label alone on its row may reach the frame's inner right edge.
constexpr int kFrameRoom = kFrameLeft + kFrameWidth - kFormMarginTwips;
constexpr int kButtonTop = 2325;

struct ListLayout
{
    int label;
    const wchar_t* caption;
    int labelLeft;
    int labelTop;
    int left;
    int top;
    int width;
};
// Slot order: Sequence, Separator, Year, Month, Day, Time; each label reaches up to its
// list, in the frame.
constexpr ListLayout kLists[] = {
    {1, L"S&equence", 90, 615, 885, 555, 1685}, {2, L"Se&parator", 2660, 615, 3470, 555, 930},
    {3, L"&Year", 885, 1020, 1305, 960, 1265},  {5, L"&Month", 2930, 1020, 3470, 960, 930},
    {6, L"D&ay", 4490, 1020, 4865, 960, 595},   {8, L"&Format", 285, 1800, 885, 1740, 1685},
};

struct Caption
{
    int label;
    const wchar_t* text;
    bool bold;
    int left;
    int top;
    int roomRight; // in the frame
};
constexpr Caption kCaptions[] = {
    {0, L"Date", true, 90, 270, kFrameWidth - kFormMarginTwips},
    {4, L"Format", false, 285, 1020, 885},
    {7, L"Time", true, 90, 1455, 2660},
    {9, L"Preview", true, 2660, 1455, kFrameWidth - kFormMarginTwips},
};

struct ButtonSpec
{
    const wchar_t* caption;
    const wchar_t* tip;
    int left;
};
constexpr ButtonSpec kButtons[] = {
    {L"&Save", L"Save your changes.", 2445},
    {L"&Default", L"Load the default settings.", 3540},
    {L"C&lose", L"Close this dialog box.", 4635},
};
constexpr int kButtonWidth = 1005;
constexpr int kButtonHeight = 360;

int OnForm(int inFrameX)
{
    return kFrameLeft + inFrameX;
}
int OnFormY(int inFrameY)
{
    return kFrameTop + inFrameY;
}

} // namespace

frmPubOptions::frmPubOptions(std::string configFile, std::function<void()> refreshVisibleList)
    : FormDialog(L"Options"), m_configFile(std::move(configFile)),
      m_refresh(std::move(refreshVisibleList))
{}

void frmPubOptions::createControls()
{
    // Made in the tab order: each label's access key moves on to the list after it.
    const auto& entries = DisplayFormatEntries();
    addControl(L"STATIC", kCaptions[0].text, SS_LEFT | SS_NOPREFIX, kLbl + kCaptions[0].label);
    for (int slot = 0; slot < 6; ++slot) {
        if (slot == kYearSlot) {
            addControl(L"STATIC", kCaptions[1].text, SS_LEFT | SS_NOPREFIX,
                       kLbl + kCaptions[1].label);
        }
        if (slot == kTimeSlot) {
            addControl(L"STATIC", kCaptions[2].text, SS_LEFT | SS_NOPREFIX,
                       kLbl + kCaptions[2].label);
            addControl(L"STATIC", kCaptions[3].text, SS_LEFT | SS_NOPREFIX,
                       kLbl + kCaptions[3].label);
        }
        addControl(L"STATIC", kLists[slot].caption, SS_LEFT, kLbl + kLists[slot].label);
        // Drop-down lists take only their entries: no typing.
        const HWND list = addControl(L"COMBOBOX", nullptr,
                                     WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kCbb + slot);
        for (const std::string& entry : entries[static_cast<std::size_t>(slot)]) {
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
        }
    }
    addControl(L"STATIC", L"", SS_LEFT | SS_NOPREFIX, kPreview);
    addControl(L"STATIC", nullptr, SS_ETCHEDHORZ, kLine);
    for (int i = 0; i < 3; ++i) {
        // No default button: Enter in a list must not save; only a click or an access key
        // presses one.
        const HWND button =
            addControl(L"BUTTON", kButtons[i].caption,
                       WS_TABSTOP | BS_PUSHBUTTON | (i == 0 ? WS_GROUP : 0), ButtonId(i));
        addTip(button, kButtons[i].tip);
    }
    // Last, so that it lies under the controls it frames.
    addControl(L"BUTTON", L"Display Format", BS_GROUPBOX, kFra);
    loadLists();
}

SIZE frmPubOptions::layout(UINT)
{
    const HFONT bold = boldFont();
    for (int id : {kFra, kPreview, kLbl + 0, kLbl + 7, kLbl + 9}) {
        SendMessageW(control(id), WM_SETFONT, reinterpret_cast<WPARAM>(bold), FALSE);
    }
    // Laid out for the widest text it can show, so that it never has to grow; even the
    // design's 1785 twips cannot hold the forms with "AM"/"PM", so it may reach the frame.
    if (m_widestPreview.empty()) {
        m_widestPreview = Widen(options::WidestPreview(
            [bold](const std::string& text) { return TextSize(bold, Widen(text)).cx; }));
    }
    FormFit form(scale());
    const int frame = form.add(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight,
                               labelNeed(L"Display Format", bold).cx + scale().X(360), 0);
    int captions[4];
    for (int i = 0; i < 4; ++i) {
        const Caption& c = kCaptions[i];
        const SIZE need = labelNeed(c.text, c.bold ? bold : font());
        captions[i] = form.addSizedToText(OnForm(c.left), OnFormY(c.top), OnForm(c.roomRight),
                                          kLabelHeight, need.cx, need.cy);
    }
    const auto& entries = DisplayFormatEntries();
    int labels[6];
    int lists[6];
    for (int slot = 0; slot < 6; ++slot) {
        const ListLayout& l = kLists[slot];
        const SIZE label = labelNeed(l.caption, font());
        labels[slot] = form.addSizedToText(OnForm(l.labelLeft), OnFormY(l.labelTop), OnForm(l.left),
                                           kLabelHeight, label.cx, label.cy);
        std::wstring widest;
        for (const std::string& entry : entries[static_cast<std::size_t>(slot)]) {
            if (TextSize(font(), Widen(entry)).cx > TextSize(font(), widest).cx) {
                widest = Widen(entry);
            }
        }
        const SIZE list = listNeed(widest, font());
        lists[slot] =
            form.add(OnForm(l.left), OnFormY(l.top), l.width, kListHeight, list.cx, list.cy);
    }
    const SIZE preview = labelNeed(m_widestPreview, bold);
    const int shown = form.addSizedToText(OnForm(2660), OnFormY(1800), kFrameRoom, kLabelHeight,
                                          preview.cx, preview.cy);
    int buttons[3];
    for (int i = 0; i < 3; ++i) {
        const SIZE need = buttonNeed(kButtons[i].caption, font());
        buttons[i] =
            form.add(kButtons[i].left, kButtonTop, kButtonWidth, kButtonHeight, need.cx, need.cy);
    }
    form.solve();

    place(control(kFra), form.rect(frame));
    for (int i = 0; i < 4; ++i) {
        place(control(kLbl + kCaptions[i].label), form.rect(captions[i]));
    }
    for (int slot = 0; slot < 6; ++slot) {
        place(control(kLbl + kLists[slot].label), form.rect(labels[slot]));
        // A drop-down list's height is its list's when open; the closed part keeps the
        // height its font gives it.
        FormFit::Rect at = form.rect(lists[slot]);
        const HWND list = control(kCbb + slot);
        const auto item = static_cast<int>(SendMessageW(list, CB_GETITEMHEIGHT, 0, 0));
        at.height += (static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0)) + 1) * item;
        place(list, at);
    }
    place(control(kPreview), form.rect(shown));
    // The frame's line, from its left edge to 30 twips short of its right one.
    const FormFit::Rect box = form.rect(frame);
    place(control(kLine), {box.x, form.y(OnFormY(1365)) - 1, form.x(OnForm(5520)) - box.x, 2});
    for (int i = 0; i < 3; ++i) {
        place(control(ButtonId(i)), form.rect(buttons[i]));
    }
    // The same margin below the buttons and beside the frame.
    return {form.x(kFrameLeft + kFrameWidth + kFormMarginTwips),
            form.y(kButtonTop + kButtonHeight + kFormMarginTwips)};
}

bool frmPubOptions::handle(UINT message, WPARAM wParam, LPARAM, INT_PTR& result)
{
    result = 0;
    if (message != WM_COMMAND) {
        return false;
    }
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id >= kCbb && id < kCbb + 6) {
        // Choosing the entry already shown changes nothing, yet the preview shows the
        // time of that moment.
        if (code == CBN_SELCHANGE || code == CBN_SELENDOK) {
            updatePreview();
        }
        return true;
    }
    switch (id) {
    case kCmb + kSave:
        save();
        return true;
    case kCmb + kDefault:
        restoreDefaults();
        return true;
    case IDCANCEL:
        close(IDCANCEL);
        return true;
    case IDOK:
        return true; // Enter presses nothing here
    default:
        return false;
    }
}

std::array<std::string, 6> frmPubOptions::choice() const
{
    const auto& entries = DisplayFormatEntries();
    DisplayFormatFields fields;
    for (int slot = 0; slot < 6; ++slot) {
        const auto index = static_cast<int>(SendMessageW(control(kCbb + slot), CB_GETCURSEL, 0, 0));
        const auto& list = entries[static_cast<std::size_t>(slot)];
        if (index >= 0 && index < static_cast<int>(list.size())) {
            fields[static_cast<std::size_t>(slot)] = list[static_cast<std::size_t>(index)];
        }
    }
    return fields;
}

void frmPubOptions::loadLists()
{
    const auto& entries = DisplayFormatEntries();
    const DisplayFormatFields& stored = ProgramDisplayFormat();
    for (int slot = 0; slot < 6; ++slot) {
        // Exactly, letter case and all: a hand-edited value that is no entry leaves the
        // list without a selection (the list's own search ignores case).
        const auto& list = entries[static_cast<std::size_t>(slot)];
        int index = -1;
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i] == stored[static_cast<std::size_t>(slot)]) {
                index = static_cast<int>(i);
            }
        }
        SendMessageW(control(kCbb + slot), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    updatePreview();
}

void frmPubOptions::updatePreview()
{
    SetWindowTextW(control(kPreview),
                   Widen(options::Preview(choice(), Clock::instance().now())).c_str());
}

void frmPubOptions::save()
{
    options::SaveAndTell(m_configFile, choice(), m_refresh);
}

void frmPubOptions::restoreDefaults()
{
    options::RestoreDefaults(m_configFile);
    loadLists();
    if (m_refresh) {
        m_refresh();
    }
}

} // namespace zlv::win
