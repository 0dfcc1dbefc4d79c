#include "settings/frmPubAbout.h"
#include "utility/WebPages.h"

#include <QDesktopServices>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QtTest>

using zlv::frmPubAbout;

class AboutBoxTest : public QObject
{
    Q_OBJECT

    QList<QUrl> m_opened;

public Q_SLOTS:
    void open(const QUrl& url) { m_opened << url; }

private Q_SLOTS:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
        QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    }
    void cleanupTestCase()
    {
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    }
    void init() { m_opened.clear(); }

    void picturesAreBuiltIntoTheProgram()
    {
        for (const char* name :
             {"zelvory", "qbs-logo", "manage", "detail", "options", "homepage", "exit"}) {
            QSvgRenderer svg(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
            QVERIFY2(svg.isValid(), name);
        }
        QSvgRenderer logo(QStringLiteral(":/icons/qbs-logo.svg"));
        QCOMPARE(logo.defaultSize(), QSize(156, 72));
        for (int size : {16, 32, 48, 128, 256}) {
            const QImage png(QStringLiteral(":/icons/zelvory-%1.png").arg(size));
            QCOMPARE(png.size(), QSize(size, size));
        }
    }

    void showsNameVersionAndCopyright()
    {
        frmPubAbout about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Zelvory"));
        auto* name = about.findChild<QLabel*>(QStringLiteral("Label1"));
        QVERIFY(name);
        QCOMPARE(name->text(), QStringLiteral("Zelvory"));
        QVERIFY(name->font().bold());
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lVer"))->text(),
                 QStringLiteral("Version 2.0 (Build 015)"));
        const QString copyright = about.findChild<QLabel*>(QStringLiteral("lCopyright"))->text();
        QVERIFY(copyright.contains(QStringLiteral("2006-")));
        QVERIFY(copyright.contains(QStringLiteral("QBS Software")));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("lMember"))->text().isEmpty());

        // Every label fits inside the frame: none is cut at the right edge.
        for (QLabel* label : about.frame()->findChildren<QLabel*>()) {
            QVERIFY2(label->geometry().right() < about.frame()->width(),
                     qPrintable(label->objectName()));
        }
        // 6515 by 2822 twips: 90 twips right of and below the frame.
        QCOMPARE(about.size(), QSize(434, 188));
        QCOMPARE(about.minimumSize(), about.maximumSize());
    }

    void escClosesTheBoxAndNoButtonIsSeen()
    {
        frmPubAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        for (QPushButton* b : about.findChildren<QPushButton*>()) {
            QVERIFY(!b->isVisible() || !about.rect().intersects(b->geometry()));
        }
        QTest::keyClick(&about, Qt::Key_Escape);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Rejected));

        // And in a modal run, as the main window uses it.
        frmPubAbout modal;
        bool wasModal = false;
        QTimer::singleShot(0, this, [&] {
            wasModal = QApplication::activeModalWidget() == &modal;
            QTest::keyClick(&modal, Qt::Key_Escape);
        });
        modal.exec();
        QVERIFY(wasModal);
    }

    void companyLogoKeepsItsGapToTheFrameEdgeWhateverItsWidth()
    {
        frmPubAbout about;
        const int frameWidth = about.frame()->width();
        for (int width : {156, 100, 200}) {
            QPixmap logo(width, 72);
            logo.fill(Qt::blue);
            about.setCompanyLogo(logo);
            QLabel* label = about.companyLogo();
            QCOMPARE(label->width(), width);
            // 10 twips, which rounds to one pixel.
            QCOMPARE(frameWidth - (label->x() + label->width()), 1);
            QCOMPARE(label->y(), 6);
        }
    }

    void logosOpenTheirPagesAndTheBoxStaysOpen()
    {
        frmPubAbout about;
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QLabel* product = about.productLogo();
        QLabel* company = about.companyLogo();
        QVERIFY(!product->pixmap().isNull());
        QVERIFY(!company->pixmap().isNull());
        QCOMPARE(product->toolTip(), QStringLiteral("Opens Zelvory homepage."));
        QCOMPARE(company->toolTip(), QStringLiteral("Visits our homepage."));
        QCOMPARE(product->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(company->cursor().shape(), Qt::PointingHandCursor);

        QTest::mouseClick(product, Qt::LeftButton);
        QTest::mouseClick(company, Qt::LeftButton);
        // A right click, or a release dragged off the logo, opens nothing.
        QTest::mouseClick(company, Qt::RightButton);
        QTest::mouseRelease(company, Qt::LeftButton, {}, QPoint(-5, -5));
        QCOMPARE(m_opened,
                 (QList<QUrl>{QUrl(QString::fromStdString(zlv::web::ProductPage())),
                              QUrl(QString::fromStdString(zlv::web::CompanyHomePage()))}));
        QVERIFY(about.isVisible());
    }
};

QTEST_MAIN(AboutBoxTest)
#include "AboutBoxTest.moc"
