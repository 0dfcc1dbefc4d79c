#pragma once

#include "utility/Twips.h"

#include <QDialog>

class QGroupBox;
class QPixmap;

namespace zlv {

class PictureLink;

// The About box: product name, version and copyright, and the two logos, each a link to
// one of the maker's pages (reached with Tab too). Esc closes it; a logo click leaves it
// open.
class frmPubAbout final : public QDialog
{
    Q_OBJECT

public:
    // `dataFolder`, where the journal and the settings live, is named below the line.
    explicit frmPubAbout(QWidget* parent = nullptr, const QString& dataFolder = {});

    // Replaces the maker's logo and keeps it 10 twips from the frame's right edge,
    // whatever its width.
    void setCompanyLogo(const QPixmap& logo);

    QGroupBox* frame() const { return m_frame; }
    PictureLink* productLogo() const { return m_productLogo; }
    PictureLink* companyLogo() const { return m_companyLogo; }

private:
    QGroupBox* m_frame = nullptr;
    PictureLink* m_productLogo = nullptr;
    PictureLink* m_companyLogo = nullptr;
    TwipScale m_scale;
};

} // namespace zlv
