#pragma once

#include "utility/windows/FormDialog.h"

#include <array>
#include <functional>
#include <string>

namespace zlv::win {

// Chooses the display format of time stamps from six drop-down lists with a live preview,
// stores it in the configuration file and has the visible list re-rendered. Choices not
// saved are dropped when the dialog closes.
class frmPubOptions final : public FormDialog
{
public:
    enum Button
    {
        kSave = 0,
        kDefault,
        kClose
    };
    // Control numbers: cbb(i), lbl(i), cmb(i) (Close is the cancel button), the frame and
    // the preview.
    static constexpr int kCbb = 1200;
    static constexpr int kLbl = 1210;
    static constexpr int kCmb = 1230;
    static constexpr int kFra = 1240;
    static constexpr int kPreview = 1241;
    static constexpr int kLine = 1242;
    static constexpr int ButtonId(int index) { return index == kClose ? IDCANCEL : kCmb + index; }

    // `refreshVisibleList` re-renders the times of the list on screen after the stored
    // format has changed.
    frmPubOptions(std::string configFile, std::function<void()> refreshVisibleList);

    // The unsaved choice: the six lists' entries, empty where a list has no selection.
    std::array<std::string, 6> choice() const;
    void save();
    void restoreDefaults();

private:
    void createControls() override;
    SIZE layout(UINT dpi) override;
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    void loadLists();
    void updatePreview();

    std::string m_configFile;
    std::function<void()> m_refresh;
    std::wstring m_widestPreview;
};

} // namespace zlv::win
