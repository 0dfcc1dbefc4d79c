#pragma once

#include "utility/FormFit.h"
#include "utility/windows/Handles.h"

#include <string>
#include <string_view>
#include <vector>

namespace zlv::win {

// A modal dialog box whose controls are made in code and placed from the design's twips,
// grown where the fonts in use need room (FormFit), as the main window is. The box has a
// fixed border, no minimise or maximise box and no taskbar entry of its own (its owner has
// one), and opens centred over its owner. One procedure hands every message to handle().
class FormDialog
{
public:
    FormDialog(const FormDialog&) = delete;
    FormDialog& operator=(const FormDialog&) = delete;

    // Shows the dialog over `owner` and returns, with the code given to close(), once it has
    // gone; -1 when no dialog could be made.
    INT_PTR runModal(HWND owner);
    HWND hwnd() const { return m_hwnd; }
    HWND control(int id) const { return GetDlgItem(m_hwnd, id); }

protected:
    explicit FormDialog(std::wstring title) : m_title(std::move(title)) {}
    virtual ~FormDialog() = default;

    // Makes the controls, in tab order, once the dialog exists.
    virtual void createControls() = 0;
    // Places the controls for the fonts of `dpi` and returns the client area's size.
    virtual SIZE layout(UINT dpi) = 0;
    // Once the dialog is placed, before it shows: false when the focus was set here.
    virtual bool started() { return true; }
    // Every message the dialog gets besides those above; true when handled, with the
    // procedure's answer in `result`.
    virtual bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    // A child control with the dialog's font; WS_CHILD and WS_VISIBLE are added.
    HWND addControl(const wchar_t* windowClass, const wchar_t* text, DWORD style, int id,
                    DWORD exStyle = 0);
    // A tooltip for a control.
    void addTip(HWND control, const wchar_t* tip);
    void close(INT_PTR code);

    UINT dpi() const { return m_dpi; }
    HFONT font() const { return m_font.get(); }
    HFONT boldFont() const { return m_bold.get(); }
    TwipScale scale() const;
    // What a control's text needs in `font`: a label's, a button's, a single-line field's,
    // a drop-down list's whose widest entry is `widest`.
    SIZE labelNeed(std::wstring_view text, HFONT font) const;
    SIZE buttonNeed(std::wstring_view text, HFONT font) const;
    SIZE fieldNeed(HFONT font) const;
    SIZE listNeed(std::wstring_view widest, HFONT font) const;
    // Puts a control where the layout says.
    void place(HWND control, const FormFit::Rect& at) const;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void applyLayout(UINT dpi);
    void centreOverOwner();

    std::wstring m_title;
    HWND m_hwnd = nullptr;
    HWND m_owner = nullptr;
    HWND m_tips = nullptr;
    UINT m_dpi = 96;
    OwnedFont m_font;
    OwnedFont m_bold;
    std::vector<HWND> m_plainControls; // those that take the dialog's font
};

} // namespace zlv::win
