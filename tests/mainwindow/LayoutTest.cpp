#include "browse/frmPubDetail.h"
#include "logstore/LogListView.h"
#include "mainwindow/DesktopWords.h"
#include "mainwindow/QtMessageBox.h"
#include "settings/frmPubAbout.h"
#include "settings/frmPubOptions.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"
#include "utility/MessageBox.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTimeEdit>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStyleOption>
#include <QTest>
#include <QTimer>

using namespace zlv;

namespace {

QString Name(const QWidget* w)
{
    return w->window()->objectName() + QLatin1Char('/') + w->objectName();
}

// Where the style draws a control's text, and the text it must hold there (for a list its
// longest entry, for a date the widest date of its format); no text for other controls.
std::pair<QRect, QSize> RoomAndText(QWidget* w)
{
    const QFontMetrics fm(w->font());
    const auto size = [&](const QString& text) { return fm.size(Qt::TextShowMnemonic, text); };
    QStyle* style = w->style();
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
        const QRect room = label->contentsRect();
        return {room, label->wordWrap() ? QSize(1, label->heightForWidth(room.width()))
                                        : size(label->text())};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w);
        button && (w->inherits("QPushButton") || w->inherits("QRadioButton"))) {
        QStyleOptionButton o;
        o.initFrom(button);
        return {style->subElementRect(w->inherits("QRadioButton") ? QStyle::SE_RadioButtonContents
                                                                  : QStyle::SE_PushButtonContents,
                                      &o, w),
                size(button->text())};
    }
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox o;
        o.initFrom(list);
        QSize widest;
        for (int i = 0; i < list->count(); ++i) {
            widest = widest.expandedTo(size(list->itemText(i)));
        }
        return {style->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, w)
                    .adjusted(1, 0, -1, 0),
                widest};
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QSize text = size(edit->text()).expandedTo({1, 1});
        if (auto* date = qobject_cast<QDateTimeEdit*>(w->parentWidget())) {
            for (QDate d(2000, 1, 1); d.year() == 2000; d = d.addDays(1)) {
                text = text.expandedTo(size(date->locale().toString(d, date->displayFormat())));
            }
        }
        QStyleOptionFrame o;
        o.initFrom(edit);
        o.lineWidth =
            edit->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, w) : 0;
        return {style->subElementRect(QStyle::SE_LineEditContents, &o, w).adjusted(2, 1, -2, -1),
                text};
    }
    return {};
}

// Every text of `window` that is cut, runs into a neighbour or sticks out of its parent.
QStringList Cut(QWidget* window)
{
    QStringList faults;
    QList<QWidget*> shown;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool visible = w->isVisibleTo(window);
        if (auto* header = qobject_cast<QHeaderView*>(w); header && visible) {
            const int margin = 2 * w->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, w);
            for (int s = 0; s < header->count(); ++s) {
                const QString text = header->model()->headerData(s, Qt::Horizontal).toString();
                if (header->fontMetrics().horizontalAdvance(text) + margin >
                    header->sectionSize(s)) {
                    faults << Name(w) + QLatin1Char(' ') + text + QStringLiteral(" is cut");
                }
            }
        }
        const auto [room, text] = RoomAndText(w);
        // The version banner waits off the window, hidden.
        if (text.isEmpty() || (!visible && w->objectName() != QLatin1String("cmbProgress"))) {
            continue;
        }
        if (text.width() > room.width() || text.height() > room.height()) {
            faults << Name(w) + QStringLiteral(" is cut");
        }
        for (QWidget* c = w; visible && c != window; c = c->parentWidget()) {
            if (!c->parentWidget()->rect().contains(c->geometry())) {
                faults << Name(w) + QStringLiteral(" sticks out of ") + Name(c->parentWidget());
            }
        }
        if (visible) {
            shown << w;
        }
    }
    for (QWidget* a : shown) {
        QRect text = a->geometry();
        if (auto* label = qobject_cast<QLabel*>(a); label && label->alignment() & Qt::AlignLeft) {
            text.setWidth(RoomAndText(a).second.width());
        }
        for (QWidget* b : shown) {
            if (a != b && a->parentWidget() == b->parentWidget() &&
                text.intersects(b->geometry())) {
                faults << Name(a) + QStringLiteral(" runs into ") + Name(b);
            }
        }
    }
    return faults;
}

} // namespace

class LayoutTest : public QObject
{
    Q_OBJECT

    zlv::test::TempDir m_appData;
    zlv::test::FakeSource* m_source = nullptr;

    // Opens every window and box, then hands each to `check`.
    void eachWindow(const std::function<void(QWidget*)>& check)
    {
        auto main = zlv::test::MakeTestWindow(m_appData.path(), m_source);
        QVERIFY(QTest::qWaitForWindowExposed(main.get()));
        check(main.get());
        // The version banner keeps its colours, not greyed, on the disabled window.
        main->setEnabled(false);
        const QImage banner = main->progressBanner()->grab().toImage();
        int darkest = 255;
        for (int i = 0; i < banner.width() * banner.height(); ++i) {
            darkest =
                std::min(darkest, qGray(banner.pixel(i % banner.width(), i / banner.width())));
        }
        QCOMPARE(banner.pixelColor(int(6 * banner.devicePixelRatio()), banner.height() / 2),
                 QColor(128, 128, 255));
        main->setEnabled(true);
        // Neither the menu bar nor the toolbar offers to hide the toolbar.
        for (QWidget* bar : {static_cast<QWidget*>(main->menuBar()),
                             main->findChild<QWidget*>(QStringLiteral("Toolbar1"))}) {
            QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(1, 1),
                                    bar->mapToGlobal(QPoint(1, 1)));
            QApplication::sendEvent(bar, &click);
            QVERIFY(!QApplication::activePopupWidget());
        }
        QCOMPARE(darkest,
                 qGray(main->palette().color(QPalette::Active, QPalette::ButtonText).rgb()));
        frmPubOptions options(main->dataFolder().configurationFile(), {}, main.get());
        frmPubAbout about(main.get(), QString::fromStdString(main->dataFolder().dataFolder()));
        frmPubDetail detail(main.get(), [] { return nullptr; });
        detail.field(0)->setText(QStringLiteral("Sep 28 2008 11:58:58 PM"));
        for (QDialog* dialog : std::initializer_list<QDialog*>{&options, &about, &detail}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            check(dialog);
            dialog->close();
        }
        const MessageBox::Handler scripted = MessageBox::setHandler({});
        InstallQtMessageBoxHandler();
        for (const char* text :
             {words::For(words::Desktop::Windows).closeQuestion,
              words::For(words::Desktop::Linux).closeQuestion, "No available data for display."}) {
            QTimer::singleShot(0, this, [&] {
                QWidget* box = QApplication::activeModalWidget();
                check(box);
                box->close();
            });
            MessageBox::show(text, MessageBox::Icon::Question, MessageBox::Buttons::YesNoCancel);
        }
        MessageBox::setHandler(scripted);
    }

private Q_SLOTS:
    // At the desktop's font, at 14 pt, and at the design's font (Tahoma's metric twin),
    // which must give the design's scale exactly.
    void everyTextFitsAtEveryFont()
    {
        const QFont desktop = QApplication::font();
        for (double points : {desktop.pointSizeF(), 14.0, 0.0}) {
            QFont font = desktop;
            font.setPointSizeF(points > 0 ? points : 9); // the design's desktop was 9 pt
            QApplication::setFont(font);
            QList<int> tahoma;
            for (const char* file : {"tahoma.ttf", "tahomabd.ttf"}) {
                if (points == 0) {
                    tahoma << QFontDatabase::addApplicationFont(
                        QStringLiteral("/usr/share/wine/fonts/") + QLatin1String(file));
                }
            }
            if (tahoma.contains(-1)) {
                QSKIP("Tahoma's metric twin is missing (package fonts-wine)");
            }
            eachWindow([&](QWidget* w) {
                QVERIFY2(Cut(w).isEmpty(), qPrintable(QStringLiteral("%1 pt: ").arg(points) +
                                                      Cut(w).join(QStringLiteral("; "))));
                if (points == 0 && !w->inherits("QMessageBox")) {
                    QCOMPARE(w->property("formScale").toSizeF(), QSizeF(1, 1));
                }
            });
            for (int id : tahoma) {
                QFontDatabase::removeApplicationFont(id);
            }
        }
        QApplication::setFont(desktop);
    }
};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
