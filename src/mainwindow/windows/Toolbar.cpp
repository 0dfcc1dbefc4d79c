#include "mainwindow/windows/Toolbar.h"

#include "mainwindow/DesktopWords.h"
#include "mainwindow/windows/CommandIds.h"
#include "utility/windows/WinText.h"

namespace zlv::win {

namespace {

// Design pictures are 32 pixels at 96 dots per inch.
constexpr int kPicturePixels = 32;

struct Button
{
    int command; // 0 for a separator
    int icon;
    const wchar_t* caption;
    const wchar_t* tip;
};

constexpr Button kButtons[] = {
    {3001, IDI_manage, L"Manage Log Files", nullptr}, // the desktop's words say which program
    {3002, IDI_detail, L"Detail View", L"Views the logs one by one <Ctrl+D>."},
    {0, 0, nullptr, nullptr},
    {3003, IDI_options, L"Options", L"Displays and sets ZLV options."},
    {0, 0, nullptr, nullptr},
    {3004, IDI_homepage, L"Homepage", L"Visits ZLV homepage to get news <F1>."},
    {0, 0, nullptr, nullptr},
    {3005, IDI_exit, L"Exit", L"Exits Zelvory <Alt + F4>."},
};

const Button* Find(int command)
{
    for (const Button& b : kButtons) {
        if (b.command != 0 && b.command == command) {
            return &b;
        }
    }
    return nullptr;
}

} // namespace

bool Toolbar::create(HWND parent, int id, UINT dpi, HFONT font)
{
    m_bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr,
                            WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_TOP, 0, 0,
                            0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            GetModuleHandleW(nullptr), nullptr);
    if (!m_bar) {
        return false;
    }
    SendMessageW(m_bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    loadImages(dpi);
    int picture = 0;
    for (const Button& b : kButtons) {
        TBBUTTON button{};
        if (b.command == 0) {
            button.fsStyle = BTNS_SEP;
        } else {
            button.iBitmap = picture++;
            button.idCommand = b.command;
            button.fsState = TBSTATE_ENABLED;
            button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE;
            button.iString = reinterpret_cast<INT_PTR>(b.caption);
        }
        SendMessageW(m_bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    SendMessageW(m_bar, TB_SETMAXTEXTROWS, 1, 0);
    layout();
    return true;
}

void Toolbar::loadImages(UINT dpi)
{
    const int size = MulDiv(kPicturePixels, static_cast<int>(dpi), 96);
    OwnedImageList list(ImageList_Create(size, size, ILC_COLOR32 | ILC_MASK, 5, 0));
    if (list) {
        for (const Button& b : kButtons) {
            if (b.command == 0) {
                continue;
            }
            // The icon file holds several sizes; the system picks the nearest and scales it.
            const OwnedIcon icon(
                static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(b.icon),
                                              IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
            ImageList_AddIcon(list.get(), icon.get());
        }
    }
    SendMessageW(m_bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list.get()));
    m_iglToolbar = std::move(list); // the bar has let go of the old list by now
}

void Toolbar::setDpi(UINT dpi, HFONT font)
{
    SendMessageW(m_bar, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    loadImages(dpi);
    layout();
}

int Toolbar::height() const
{
    RECT r{};
    GetWindowRect(m_bar, &r);
    return r.bottom - r.top;
}

void Toolbar::layout()
{
    SendMessageW(m_bar, TB_AUTOSIZE, 0, 0);
}

std::wstring Toolbar::caption(int command) const
{
    // Read back from the bar, so that what the user sees is what decides.
    const LRESULT length = SendMessageW(m_bar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(command), 0);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(m_bar, TB_GETBUTTONTEXTW, static_cast<WPARAM>(command),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(length));
    return text;
}

bool Toolbar::tooltip(NMHDR* header) const
{
    if (header->code != TTN_GETDISPINFOW) {
        return false;
    }
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(header);
    const Button* b = Find(static_cast<int>(header->idFrom));
    if (!b) {
        return false;
    }
    if (!b->tip) {
        m_manageTip = Widen(words::For().manageLogFilesTip);
    }
    info->lpszText = const_cast<wchar_t*>(b->tip ? b->tip : m_manageTip.c_str());
    return true;
}

} // namespace zlv::win
