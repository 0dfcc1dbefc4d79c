#pragma once

#include "utility/windows/FormDialog.h"

#include <string>

namespace zlv::win {

// The About box: the product's name, version and copyright, the data folder, and two
// pictures that open the maker's pages (reached with Tab too). Esc closes it; a picture's
// click leaves it open.
class frmPubAbout final : public FormDialog
{
public:
    static constexpr int kFra = 1300;
    static constexpr int kProdLogo = 1301;
    static constexpr int kCompLogo = 1302;
    static constexpr int kName = 1303;
    static constexpr int kMember = 1304;
    static constexpr int kVer = 1305;
    static constexpr int kCopyright = 1306;
    static constexpr int kLine = 1307;
    static constexpr int kDataFolderLabel = 1308;
    static constexpr int kDataFolder = 1309;

    // `dataFolder` (ANSI), where the journal and the settings live, is named below the line.
    explicit frmPubAbout(std::string dataFolder);

private:
    void createControls() override;
    SIZE layout(UINT dpi) override;
    bool handle(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    void draw(const DRAWITEMSTRUCT& item) const;

    std::string m_dataFolder;
    OwnedFont m_nameFont;
};

} // namespace zlv::win
