#include "settings/frmPubAbout.h"
#include "support/OpenedUrls.h"
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
                 QStringLiteral("Version 2.0 (Build 015)"));
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
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        QCOMPARE(about.exec(), int(QDialog::Rejected));
        QCOMPARE(m_browser.urls,
                 (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::ProductPage())),
                              QUrl(QString::fromStdString(zlv::web::CompanyHomePage()))}));
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
