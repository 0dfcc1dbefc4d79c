// The rows' green, the gap line's red and the version check's blue banner, as painted on a
// light theme and on a dark one: measured on the screen's pixels against the colour behind
// them, never compared with a colour written down here.
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"
#include "utility/Contrast.h"

#include <QApplication>
#include <QPushButton>
#include <QStyleFactory>
#include <QTest>

using namespace zlv;

namespace {

// The pixel of `area` that stands out most from `base`: the core of a stroke of text.
QColor Ink(const QImage& shot, const QRect& area, const QColor& base)
{
    QColor ink = base;
    double best = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (const double r = contrast::Ratio(c, base); r > best) {
                best = r;
                ink = c;
            }
        }
    }
    return ink;
}

QPalette Dark()
{
    QPalette p = QStyleFactory::create(QStringLiteral("Fusion"))->standardPalette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, QColor(49, 54, 59));
        p.setColor(group, QPalette::Base, QColor(35, 38, 41));
        p.setColor(group, QPalette::Text, QColor(239, 240, 241));
        p.setColor(group, QPalette::WindowText, QColor(239, 240, 241));
        p.setColor(group, QPalette::Button, QColor(49, 54, 59));
        p.setColor(group, QPalette::ButtonText, QColor(239, 240, 241));
    }
    return p;
}

bool Greenish(const QColor& c)
{
    return std::abs(c.hslHue() - 120) <= 10 && c.hslSaturation() > 100;
}

bool Reddish(const QColor& c)
{
    return (c.hslHue() <= 10 || c.hslHue() >= 350) && c.hslSaturation() > 100;
}

} // namespace

class ThemeTest : public QObject
{
    Q_OBJECT

    test::TempDir m_appData;
    test::FakeSource* m_source = nullptr;

    struct Look
    {
        QColor base;
        QColor green;  // the ink of a highlighted row
        QColor plain;  // the ink of a row that is not
        QColor gap;    // the line above the first row
        QColor banner; // the check's banner, and its text
        QColor bannerText;
    };

    static Look look(frmPubMain& w)
    {
        LogListView* list = w.lsvToday();
        const QImage shot = list->viewport()->grab().toImage();
        const QColor base = list->viewport()->palette().color(QPalette::Base);
        // The top row is selected, so the highlighted row looked at is the seventh.
        const QRect first = list->visualRect(list->model()->index(0, 1));
        const QRect green = list->visualRect(list->model()->index(6, 1));
        const QRect plain = list->visualRect(list->model()->index(5, 1));
        Look l;
        l.base = base;
        l.green = Ink(shot, green.adjusted(0, 2, 0, -2), base);
        l.plain = Ink(shot, plain.adjusted(0, 2, 0, -2), base);
        l.gap = shot.pixelColor(first.left() + 5, first.top());
        QPushButton* banner = w.progressBanner();
        const QImage b = banner->grab().toImage();
        l.banner = b.pixelColor(6, b.height() / 2);
        l.bannerText = Ink(b, b.rect().adjusted(8, 8, -8, -8), l.banner);
        return l;
    }

private Q_SLOTS:
    void theHighlightGapLineAndBannerAreReadableOnEitherTheme()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        const QPalette light = QApplication::palette();
        test::ScriptedMessages messages;
        ManualClock clock(LocalDateTime{{2024, 3, 5}, 14, 7, 9});
        Clock::setInstance(&clock);
        auto w = test::MakeTestWindow(m_appData.path(), m_source);
        w->resize(1200, 900);
        // Strokes wide enough to have pixels of the ink itself, untouched by smoothing.
        QFont big = w->lsvToday()->font();
        big.setPointSize(28);
        big.setBold(true);
        w->lsvToday()->setFont(big);
        for (int i = 0; i < 7; ++i) {
            m_source->deliver(shell::SHCNE_CREATE,
                              ShellItem{"File number " + std::to_string(i), "/h/f"});
        }
        QTRY_COMPARE(w->lsvToday()->rowCount(), 7);
        clock.advanceSeconds(5);
        CaptureIncident burst;
        burst.sentence = "The event queue overflowed.";
        w->capture()->reportIncident(burst);
        QTest::qWait(50);

        // Light: the colours as designed, already readable on white.
        const Look onLight = look(*w);
        QCOMPARE(onLight.green, QColor(0, 128, 0));
        QCOMPARE(onLight.gap, QColor(220, 40, 30));
        QCOMPARE(onLight.banner, QColor(128, 128, 255));

        // Dark, while the program runs: the same hues, lighter or darker as far as reading
        // them on the dark base takes.
        QApplication::setPalette(Dark());
        QTest::qWait(50);
        const Look onDark = look(*w);
        QVERIFY(contrast::Ratio(onDark.base, QColor(35, 38, 41)) < 1.01);
        QVERIFY2(Greenish(onDark.green), qPrintable(onDark.green.name()));
        QVERIFY2(contrast::Ratio(onDark.green, onDark.base) >= contrast::kReadable - 0.05,
                 qPrintable(onDark.green.name()));
        QVERIFY(!Greenish(onDark.plain));
        QVERIFY2(Reddish(onDark.gap), qPrintable(onDark.gap.name()));
        QVERIFY2(contrast::Ratio(onDark.gap, onDark.base) >= contrast::kReadable - 0.05,
                 qPrintable(onDark.gap.name()));
        QVERIFY2(contrast::Ratio(onDark.banner, onDark.bannerText) >= contrast::kReadable - 0.05,
                 qPrintable(onDark.banner.name() + onDark.bannerText.name()));
        QCOMPARE(onDark.banner.hslHue(), QColor(128, 128, 255).hslHue());

        // And back.
        QApplication::setPalette(light);
        QTest::qWait(50);
        QCOMPARE(look(*w).green, QColor(0, 128, 0));
        Clock::setInstance(nullptr);
    }

    void aHueIsOnlyMovedAsFarAsItMustBe()
    {
        // Against a mid grey nothing reaches 7:1: the nearest shade.
        const QColor grey(119, 119, 119);
        const QColor best = contrast::Readable(QColor(0, 128, 0), grey, 7);
        QVERIFY(contrast::Ratio(best, grey) < 7);
        QVERIFY(contrast::Ratio(best, grey) > contrast::Ratio(QColor(0, 128, 0), grey) + 1);
        // On a dark base one step less light would no longer do.
        const QColor base(35, 38, 41);
        const QColor green = contrast::Readable(QColor(0, 128, 0), base);
        QVERIFY(contrast::Ratio(green, base) >= contrast::kReadable);
        const QColor less =
            QColor::fromHsl(green.hslHue(), green.hslSaturation(), green.lightness() - 2);
        QVERIFY(contrast::Ratio(less, base) < contrast::kReadable);
    }
};

QTEST_MAIN(ThemeTest)
#include "ThemeTest.moc"
