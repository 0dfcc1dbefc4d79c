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

    void showsNameVersionAndCopyrightAndEscClosesIt()
    {
        frmPubAbout about;
        const auto text = [&](const char* name) {
            const auto* label = about.findChild<QLabel*>(QLatin1String(name));
            return label ? label->text() : QStringLiteral("(none)");
        };
        QCOMPARE(text("Label1"), QStringLiteral("Zelvory"));
        QVERIFY(about.findChild<QLabel*>(QStringLiteral("Label1"))->font().bold());
        QCOMPARE(text("lVer"), QStringLiteral("Version 2.0 (Build 015)"));
        QVERIFY(text("lCopyright").contains(QStringLiteral("2006-")));
        QVERIFY(text("lCopyright").contains(QStringLiteral("QBS Software")));

        bool shownModally = false;
        QTimer::singleShot(0, this, [&] {
            shownModally = QApplication::activeModalWidget() == &about;
            QTest::keyClick(&about, Qt::Key_Escape);
        });
        QCOMPARE(about.exec(), int(QDialog::Rejected));
        QVERIFY(shownModally);
    }

    void logosKeepTheirGapOpenTheirPagesAndLeaveTheBoxOpen()
    {
        frmPubAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QVERIFY(!about.productLogo()->pixmap().isNull());
        // 10 twips from the frame's right edge, which rounds to one pixel, whatever the width.
        for (int width : {0, 100, 200}) {
            if (width > 0) {
                QPixmap logo(width, 72);
                logo.fill(Qt::blue);
                about.setCompanyLogo(logo);
                QCOMPARE(about.companyLogo()->width(), width);
            }
            const QRect at = about.companyLogo()->geometry();
            QCOMPARE(about.frame()->width() - (at.x() + at.width()), 1);
        }
        QTest::mouseClick(about.productLogo(), Qt::LeftButton);
        QTest::mouseClick(about.companyLogo(), Qt::LeftButton);
        // A right click, or a release dragged off the logo, opens nothing.
        QTest::mouseClick(about.companyLogo(), Qt::RightButton);
        QTest::mouseRelease(about.companyLogo(), Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(m_browser.urls,
                 (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::ProductPage())),
                              QUrl(QString::fromStdString(zlv::web::CompanyHomePage()))}));
        QVERIFY(about.isVisible());
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
