#include "settings/windows/frmPubAbout.h"

#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"
#include "utility/windows/FormMetrics.h"
#include "utility/windows/WinText.h"

#include <cmath>
#include <utility>
#include <vector>

namespace zlv::win {

namespace {

// Lengths in twips on the form; the frame's controls lie where they are in the frame plus
// the frame's corner (90, 0).
constexpr int kFrameLeft = 90;
constexpr int kFrameWidth = 6335;
constexpr int kFrameHeight = 2732;
constexpr int kLogoWidth = 2340;
constexpr int kLogoHeight = 1080;
constexpr int kLogoGap = 10;
constexpr int kLineHeight = 195;
// The notes may run up to the frame's margin.
constexpr int kRoom = kFrameLeft + kFrameWidth - kFormMarginTwips;

const wchar_t* const kMemberText =
    L"One of the QBS Software tools for keeping an eye on your files.";
const wchar_t* const kCopyrightText =
    L"Copyright \u00a9 2006-2026 QBS Software. All rights reserved.";

// The maker's mark, drawn rather than stored so that it is sharp at any density: three
// stacked blocks and the name, on a design of 156 by 72.
void DrawCompanyLogo(HDC dc, const RECT& area)
{
    const double unit = std::min((area.right - area.left) / 156.0, (area.bottom - area.top) / 72.0);
    const auto at = [&](double x, double y) {
        return POINT{area.left + static_cast<LONG>(std::lround(x * unit)),
                     area.top + static_cast<LONG>(std::lround(y * unit))};
    };
    const int corner = static_cast<int>(std::lround(8 * unit));
    struct Block
    {
        double x, y;
        COLORREF colour;
    };
    for (const Block& b :
         {Block{6, 10, RGB(0x2b, 0x7a, 0x87)}, Block{32, 10, RGB(0xf5, 0xb8, 0x2e)},
          Block{19, 36, RGB(0xee, 0x7d, 0x82)}}) {
        const OwnedBrush fill(CreateSolidBrush(b.colour));
        const Selected brush(dc, fill.get());
        const Selected pen(dc, GetStockObject(NULL_PEN));
        const POINT from = at(b.x, b.y);
        const POINT to = at(b.x + 24, b.y + 24);
        RoundRect(dc, from.x, from.y, to.x + 1, to.y + 1, corner, corner);
    }
    SetBkMode(dc, TRANSPARENT);
    const UINT align = SetTextAlign(dc, TA_BASELINE | TA_LEFT);
    struct Word
    {
        const wchar_t* text;
        double x, y, size;
        bool bold;
        COLORREF colour;
    };
    for (const Word& w : {Word{L"QBS", 62, 38, 26, true, RGB(0x1d, 0x5a, 0x64)},
                          Word{L"Software", 63, 56, 13, false, RGB(0x4a, 0x4f, 0x52)}}) {
        LOGFONTW shape{};
        shape.lfHeight = -static_cast<LONG>(std::lround(w.size * unit));
        shape.lfWeight = w.bold ? FW_BOLD : FW_NORMAL;
        shape.lfCharSet = DEFAULT_CHARSET;
        wcscpy_s(shape.lfFaceName, L"Verdana");
        const OwnedFont face(CreateFontIndirectW(&shape));
        const Selected chosen(dc, face.get());
        SetTextColor(dc, w.colour);
        const POINT p = at(w.x, w.y);
        TextOutW(dc, p.x, p.y, w.text, static_cast<int>(wcslen(w.text)));
    }
    SetTextAlign(dc, align);
}

} // namespace

frmPubAbout::frmPubAbout(std::string dataFolder)
    : FormDialog(L"About Zelvory"), m_dataFolder(std::move(dataFolder))
{}

void frmPubAbout::createControls()
{
    const HWND product =
        addControl(L"BUTTON", L"Zelvory Homepage", WS_TABSTOP | BS_OWNERDRAW, kProdLogo);
    addTip(product, L"Opens Zelvory homepage.");
    addControl(L"STATIC", L"Zelvory", SS_LEFT | SS_NOPREFIX, kName);
    const HWND company =
        addControl(L"BUTTON", L"QBS Software Homepage", WS_TABSTOP | BS_OWNERDRAW, kCompLogo);
    addTip(company, L"Visits our homepage.");
    addControl(L"STATIC", kMemberText, SS_LEFT | SS_NOPREFIX, kMember);
    const std::wstring version =
        L"Version " + Widen(kProgramVersion) + L" (Build " + Widen(kBuildNumber) + L")";
    addControl(L"STATIC", version.c_str(), SS_LEFT | SS_NOPREFIX, kVer);
    addControl(L"STATIC", kCopyrightText, SS_LEFT | SS_NOPREFIX, kCopyright);
    addControl(L"STATIC", nullptr, SS_ETCHEDHORZ, kLine);
    if (!m_dataFolder.empty()) {
        // A field, so that the whole path can be read and copied however long it is.
        addControl(L"STATIC", L"&Data folder:", SS_LEFT, kDataFolderLabel);
        addControl(L"EDIT", Widen(m_dataFolder).c_str(), WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL,
                   kDataFolder, WS_EX_CLIENTEDGE);
    }
    // A frame without a caption holds everything; made last, so that it lies beneath.
    addControl(L"BUTTON", L"", BS_GROUPBOX, kFra);
}

SIZE frmPubAbout::layout(UINT dpi)
{
    m_nameFont = CreateFormFont(dpi, 9.75, true);
    SendMessageW(control(kName), WM_SETFONT, reinterpret_cast<WPARAM>(m_nameFont.get()), FALSE);
    FormFit form(scale());
    const int frame = form.add(kFrameLeft, 0, kFrameWidth, kFrameHeight);
    const int productLogo = form.add(kFrameLeft, 90, 480, 480);
    const SIZE name = labelNeed(L"Zelvory", m_nameFont.get());
    const int title = form.add(kFrameLeft + 570, 210, 2520, 240, name.cx, name.cy);
    struct Note
    {
        int id;
        int top;
    };
    std::vector<std::pair<int, int>> notes; // control, item
    for (const Note& n : {Note{kMember, 990}, Note{kVer, 1320}, Note{kCopyright, 1650}}) {
        wchar_t text[256] = {};
        GetWindowTextW(control(n.id), text, 256);
        const SIZE need = labelNeed(text, font());
        notes.emplace_back(n.id, form.addSizedToText(kFrameLeft + 90, n.top, kRoom, kLineHeight,
                                                     need.cx, need.cy));
    }
    int folderLabel = -1;
    int folder = -1;
    if (!m_dataFolder.empty()) {
        const SIZE label = labelNeed(L"&Data folder:", font());
        folderLabel = form.addSizedToText(kFrameLeft + 90, 2145, kFrameLeft + 1290, kLineHeight,
                                          label.cx, label.cy);
        folder = form.add(kFrameLeft + 1290, 2085, kRoom - 1290, 315, 0, fieldNeed(font()).cy);
    }
    form.solve();

    const FormFit::Rect box = form.rect(frame);
    place(control(kFra), box);
    place(control(kProdLogo), form.rect(productLogo));
    place(control(kName), form.rect(title));
    // The maker's logo ends 10 twips left of the frame's right edge, whatever its width.
    const TwipScale s = scale();
    place(control(kCompLogo), {box.right() - s.X(kLogoGap) - s.X(kLogoWidth), form.y(90),
                               s.X(kLogoWidth), s.Y(kLogoHeight)});
    for (const auto& [id, item] : notes) {
        place(control(id), form.rect(item));
    }
    place(control(kLine), {box.x, form.y(1980) - 1, form.x(kFrameLeft + 6325) - box.x, 2});
    if (folder >= 0) {
        place(control(kDataFolderLabel), form.rect(folderLabel));
        place(control(kDataFolder), form.rect(folder));
        SendMessageW(control(kDataFolder), EM_SETSEL, 0, 0);
    }
    // The client area ends 90 twips right of and below the frame.
    return {form.x(kFrameLeft + kFrameWidth + kFormMarginTwips),
            form.y(kFrameHeight + kFormMarginTwips)};
}

bool frmPubAbout::handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case WM_DRAWITEM:
        draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    case WM_SETCURSOR: {
        // The pictures are links: the hand says so.
        const auto over = reinterpret_cast<HWND>(wParam);
        if (over == control(kProdLogo) || over == control(kCompLogo)) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
        return false;
    }
    case WM_COMMAND:
        result = 0;
        switch (LOWORD(wParam)) {
        case kProdLogo:
            SystemUtility::OpenWebPage(web::ProductPage(), 1);
            return true;
        case kCompLogo:
            SystemUtility::OpenWebPage(web::CompanyHomePage(), 1);
            return true;
        case IDCANCEL: // Esc, and the close box
            close(IDCANCEL);
            return true;
        default:
            return false;
        }
    default:
        return false;
    }
}

void frmPubAbout::draw(const DRAWITEMSTRUCT& item) const
{
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(COLOR_BTNFACE));
    if (item.CtlID == kProdLogo) {
        // The program's own icon, as its main window wears it.
        const HWND owner = GetWindow(hwnd(), GW_OWNER);
        auto icon =
            owner ? reinterpret_cast<HICON>(SendMessageW(owner, WM_GETICON, ICON_BIG, 0)) : nullptr;
        if (!icon) {
            icon = LoadIconW(nullptr, IDI_APPLICATION);
        }
        DrawIconEx(item.hDC, item.rcItem.left, item.rcItem.top, icon,
                   item.rcItem.right - item.rcItem.left, item.rcItem.bottom - item.rcItem.top, 0,
                   nullptr, DI_NORMAL);
    } else {
        DrawCompanyLogo(item.hDC, item.rcItem);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = item.rcItem;
        DrawFocusRect(item.hDC, &focus);
    }
}

} // namespace zlv::win
