#include "settings/frmPubAbout.h"

#include "settings/PictureLink.h"
#include "utility/FormFont.h"
#include "utility/FormLayout.h"
#include "utility/ProductVersion.h"
#include "utility/SystemUtility.h"
#include "utility/Twips.h"
#include "utility/WebPages.h"

#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace zlv {

namespace {

constexpr int kLogoGapTwips = 10;

// Drawn here rather than through QIcon, so that no icon-engine plugin is needed.
QPixmap RenderSvg(const QString& path, QSize size, qreal pixelRatio)
{
    QSvgRenderer svg(path);
    QPixmap pixmap(size * pixelRatio);
    pixmap.fill(Qt::transparent);
    if (svg.isValid()) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        svg.render(&painter);
    }
    pixmap.setDevicePixelRatio(pixelRatio);
    return pixmap;
}

QLabel* TextLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

frmPubAbout::frmPubAbout(QWidget* parent, const QString& dataFolder) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPubAbout"));
    setWindowTitle(QStringLiteral("About Zelvory"));
    setWindowFlags(kFixedDialogFlags);
    setFont(FormFont());
    FormLayout form;

    // A frame without a caption holds everything.
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QStringLiteral("fra"));
    form.place(frame, 90, 0, 6335, 2732);
    m_frame = frame;

    m_productLogo = new PictureLink(m_frame);
    m_productLogo->setObjectName(QStringLiteral("imgProdLogo"));
    form.place(m_productLogo, 0, 90, 480, 480);
    m_productLogo->setToolTip(QStringLiteral("Opens Zelvory homepage."));
    m_productLogo->setAccessibleName(QStringLiteral("Zelvory Homepage"));
    connect(m_productLogo, &PictureLink::clicked, this,
            [] { SystemUtility::OpenWebPage(web::ProductPage(), 1); });

    auto* name = new QLabel(QStringLiteral("Zelvory"), m_frame);
    name->setObjectName(QStringLiteral("Label1"));
    name->setFont(FormFont(9.75, true));
    form.place(name, 570, 210, 2520, 240);

    m_companyLogo = new PictureLink(m_frame);
    m_companyLogo->setObjectName(QStringLiteral("imgCompLogo"));
    m_companyLogo->setToolTip(QStringLiteral("Visits our homepage."));
    m_companyLogo->setAccessibleName(QStringLiteral("QBS Software Homepage"));
    connect(m_companyLogo, &PictureLink::clicked, this,
            [] { SystemUtility::OpenWebPage(web::CompanyHomePage(), 1); });

    // The notes may run up to the frame's margin.
    constexpr int kRoom = 6335 - kFormMarginTwips;
    constexpr int kLine = 195;
    form.placeSizedToText(
        TextLabel(
            m_frame, "lMember",
            QStringLiteral("One of the QBS Software tools for keeping an eye on your files.")),
        90, 990, kRoom, kLine);
    form.placeSizedToText(
        TextLabel(m_frame, "lVer",
                  QStringLiteral("Version %1 (Build %2)")
                      .arg(QLatin1String(kProgramVersion), QLatin1String(kBuildNumber))),
        90, 1320, kRoom, kLine);
    form.placeSizedToText(
        TextLabel(
            m_frame, "lCopyright",
            QString::fromUtf8("Copyright \u00a9 2006-2026 QBS Software. All rights reserved.")),
        90, 1650, kRoom, kLine);
    if (!dataFolder.isEmpty()) {
        // Below the line, where the frame had room to spare. A field, so that the whole
        // path can be read and copied however long it is.
        auto* label = TextLabel(m_frame, "lDataFolder", QStringLiteral("&Data folder:"));
        form.placeSizedToText(label, 90, 2145, 1200, kLine);
        auto* path = new QLineEdit(QDir::toNativeSeparators(dataFolder), m_frame);
        path->setObjectName(QStringLiteral("txtDataFolder"));
        path->setAccessibleName(QStringLiteral("Data folder"));
        path->setReadOnly(true);
        path->setCursorPosition(0);
        label->setBuddy(path);
        form.place(path, 1290, 2085, kRoom - 1290 + 90, 315);
    }
    form.apply();
    m_scale = form.scale();

    auto* line = new QFrame(m_frame);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, form.y(1980) - 1, form.x(90 + 6325) - form.x(90), 2);

    m_productLogo->setPixmap(RenderSvg(QStringLiteral(":/icons/zelvory.svg"), m_productLogo->size(),
                                       devicePixelRatioF()));
    setCompanyLogo(RenderSvg(QStringLiteral(":/icons/qbs-logo.svg"),
                             QSize(m_scale.X(2340), m_scale.Y(1080)), devicePixelRatioF()));

    // The client area ends 90 twips right of and below the frame. No button is needed
    // for Esc: the dialog itself rejects on it.
    setFixedSize(form.x(90 + 6335 + kFormMarginTwips), form.y(2732 + kFormMarginTwips));
}

void frmPubAbout::setCompanyLogo(const QPixmap& logo)
{
    m_companyLogo->setPixmap(logo);
    const QSize size = logo.isNull() ? QSize(m_scale.X(2340), m_scale.Y(1080))
                                     : logo.deviceIndependentSize().toSize();
    m_companyLogo->setGeometry(m_frame->width() - size.width() - m_scale.X(kLogoGapTwips),
                               m_scale.Y(90), size.width(), size.height());
}

} // namespace zlv
