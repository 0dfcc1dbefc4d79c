#include "settings/PictureLink.h"
#include "settings/frmPubAbout.h"
#include "support/OpenedUrls.h"
#include "utility/ProductVersion.h"
#include "utility/WebPages.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QtTest>

using zlv::frmPubAbout;

class AboutBoxTest : public QObject
{
    Q_OBJECT

    zlv::test::OpenedUrls m_browser;

private Q_SLOTS:

    void showsTheVersionLinksItsLogosAndClosesOnEsc()
    {
        frmPubAbout about;
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lVer"))->text(),
                 QStringLiteral("Version %1 (Build %2)")
                     .arg(QLatin1String(zlv::kProgramVersion), QLatin1String(zlv::kBuildNumber)));
        QVERIFY(!about.productLogo()->pixmap().isNull());
        // 10 twips from the frame's right edge, which rounds to one pixel, whatever the width.
        for (int width : {0, 100, 200}) {
            if (width > 0) {
                QPixmap logo(width, 72);
                logo.fill(Qt::blue);
                about.setCompanyLogo(logo);
            }
            const QRect at = about.companyLogo()->geometry();
            QCOMPARE(about.frame()->width() - (at.x() + at.width()), 1);
        }
        QTimer::singleShot(0, this, [&] {
            QTest::mouseClick(about.productLogo(), Qt::LeftButton);
            QTest::mouseClick(about.companyLogo(), Qt::LeftButton);
            // A right click, or a release dragged off the logo, opens nothing.
            QTest::mouseClick(about.companyLogo(), Qt::RightButton);
            QTest::mouseRelease(about.companyLogo(), Qt::LeftButton, {}, QPoint(-5, -5));
            QVERIFY(QApplication::activeModalWidget() == &about); // still open
            // Without a mouse: Tab reaches each logo, Enter or Space opens its page.
            QVERIFY(QTest::qWaitForWindowActive(&about));
            for (auto [logo, key] : {std::pair{about.productLogo(), Qt::Key_Return},
                                     std::pair{about.companyLogo(), Qt::Key_Space}}) {
                for (int i = 0; i < 3 && about.focusWidget() != logo; ++i) {
                    QTest::keyClick(&about, Qt::Key_Tab);
                }
                QCOMPARE(about.focusWidget(), static_cast<QWidget*>(logo));
                QTest::keyClick(logo, key);
            }
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        QCOMPARE(about.exec(), int(QDialog::Rejected));
        const QUrl product(QString::fromStdString(zlv::web::ProductPage()));
        const QUrl company(QString::fromStdString(zlv::web::CompanyHomePage()));
        QCOMPARE(m_browser.urls.mid(0, 2), (QList<QUrl>{product, company}));
        QCOMPARE(m_browser.urls.count(product), 2);
        QCOMPARE(m_browser.urls.count(company), 2);
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
