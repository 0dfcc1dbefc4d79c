// The rows' green, the gap line's red and the version check's blue banner as painted on a
// light theme and on a dark one: measured on the screen's pixels against the colour behind
// them, never compared with a colour written down for the dark theme.
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "support/TestWindow.h"
#include "utility/Contrast.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>

using namespace zlv;

namespace {

// The pixel of `area` that stands out most from `base`: the core of a stroke of text.
QColor Ink(const QImage& shot, const QRect& area, const QColor& base)
{
    QColor ink = base;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (contrast::Ratio(shot.pixelColor(x, y), base) > contrast::Ratio(ink, base)) {
                ink = shot.pixelColor(x, y);
            }
        }
    }
    return ink;
}

bool Hue(const QColor& c, int hue)
{
    return c.hslSaturation() > 100 && std::abs((c.hslHue() - hue + 540) % 360 - 180) <= 10;
}

struct Look
{
    QColor base, green, plain, gap, banner, bannerText;
};

Look LookOf(frmPubMain& w)
{
    LogListView* list = w.lsvToday();
    const QImage shot = list->viewport()->grab().toImage();
    Look l;
    l.base = list->viewport()->palette().color(QPalette::Base);
    // The top row is selected: the highlighted row looked at is the seventh.
    const auto cell = [list](int row) {
        return list->visualRect(list->model()->index(row, 1)).adjusted(0, 2, 0, -2);
    };
    l.green = Ink(shot, cell(6), l.base);
    l.plain = Ink(shot, cell(5), l.base);
    l.gap = shot.pixelColor(cell(0).left() + 5, cell(0).top() - 2);
    const QImage banner = w.progressBanner()->grab().toImage();
    l.banner = banner.pixelColor(6, banner.height() / 2);
    l.bannerText = Ink(banner, banner.rect().adjusted(8, 8, -8, -8), l.banner);
    return l;
}

} // namespace

class ThemeTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void theHighlightGapLineAndBannerAreReadableOnEitherTheme()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        test::WindowTestState env;
        auto w = env.window();
        w->resize(1200, 900);
        // Strokes wide enough to have pixels of the ink itself, untouched by smoothing.
        w->lsvToday()->setFont(QFont(w->lsvToday()->font().family(), 28, QFont::Bold));
        for (int i = 0; i < 7; ++i) {
            env.source->deliver(shell::SHCNE_CREATE,
                                ShellItem{"File " + std::to_string(i), "/h/f"});
        }
        QTRY_COMPARE(w->lsvToday()->rowCount(), 7);
        env.clock.advanceSeconds(5);
        w->capture()->reportIncident(CaptureIncident{});
        QTest::qWait(50);

        // Light: the colours as designed, already readable on white.
        const Look onLight = LookOf(*w);
        QCOMPARE(onLight.green, QColor(0, 128, 0));
        QCOMPARE(onLight.gap, QColor(220, 40, 30));

        // Dark, while the program runs: the same hues, as light as reading them takes.
        QPalette dark(QColor(49, 54, 59), QColor(49, 54, 59)); // button, window: light text
        dark.setColor(QPalette::Base, QColor(35, 38, 41));
        QApplication::setPalette(dark);
        QTest::qWait(50);
        const Look onDark = LookOf(*w);
        const double enough = contrast::kReadable - 0.05; // the pixels' rounding
        QVERIFY2(Hue(onDark.green, 120) && contrast::Ratio(onDark.green, onDark.base) >= enough,
                 qPrintable(onDark.green.name()));
        QVERIFY(!Hue(onDark.plain, 120));
        QVERIFY2(Hue(onDark.gap, 3) && contrast::Ratio(onDark.gap, onDark.base) >= enough,
                 qPrintable(onDark.gap.name()));
        QVERIFY2(Hue(onDark.banner, 240) &&
                     contrast::Ratio(onDark.banner, onDark.bannerText) >= enough,
                 qPrintable(onDark.banner.name()));
        // No further than it takes: a little less light would not do.
        const QColor less = QColor::fromHsl(onDark.green.hslHue(), onDark.green.hslSaturation(),
                                            onDark.green.lightness() - 3);
        QVERIFY(contrast::Ratio(less, onDark.base) < contrast::kReadable);
    }
};

QTEST_MAIN(ThemeTest)
#include "ThemeTest.moc"
