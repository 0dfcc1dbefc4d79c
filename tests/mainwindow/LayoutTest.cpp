#include "browse/frmPubDetail.h"
#include "logstore/LogListView.h"
#include "mainwindow/QtMessageBox.h"
#include "settings/frmPubAbout.h"
#include "settings/frmPubOptions.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"
#include "utility/MessageBox.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontDatabase>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOption>
#include <QTest>
#include <QTimer>

using namespace zlv;

namespace {

QString Name(const QWidget* w)
{
    return w->window()->objectName() + QLatin1Char('/') + w->objectName() + QLatin1Char('/') +
           QString::fromLatin1(w->metaObject()->className());
}

// Where the style draws a control's text, and the text it has to hold there; an empty
// text for controls that show none.
std::pair<QRect, QSize> TextAndRoom(QWidget* w)
{
    const QFontMetrics fm(w->font());
    const auto size = [&](const QString& text) { return fm.size(Qt::TextShowMnemonic, text); };
    if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
        const QRect room =
            label->contentsRect().marginsRemoved(QMargins(label->margin(), 0, label->margin(), 0));
        if (label->wordWrap()) {
            return {room, QSize(room.width(), label->heightForWidth(room.width()))};
        }
        return {room, size(label->text())};
    }
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        QStyleOptionButton o;
        o.initFrom(button);
        return {w->style()->subElementRect(QStyle::SE_PushButtonContents, &o, w),
                size(button->text())};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(w);
        button && button->inherits("QRadioButton")) {
        QStyleOptionButton o;
        o.initFrom(button);
        return {w->style()->subElementRect(QStyle::SE_RadioButtonContents, &o, w),
                size(button->text())};
    }
    if (auto* list = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox o;
        o.initFrom(list);
        QSize widest;
        for (int i = 0; i < list->count(); ++i) {
            widest = widest.expandedTo(size(list->itemText(i)));
        }
        const QRect field =
            w->style()->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, w);
        return {field.adjusted(1, 0, -1, 0), widest};
    }
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        QSize text = size(edit->text());
        if (auto* date = qobject_cast<QDateTimeEdit*>(w->parentWidget())) {
            for (QDate d(2000, 1, 1); d.year() == 2000; d = d.addDays(1)) {
                text = text.expandedTo(size(date->locale().toString(d, date->displayFormat())));
            }
        }
        QStyleOptionFrame o;
        o.initFrom(edit);
        o.lineWidth =
            edit->hasFrame() ? w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &o, w) : 0;
        const QRect room = w->style()->subElementRect(QStyle::SE_LineEditContents, &o, w);
        return {room.marginsRemoved(edit->textMargins()).adjusted(2, 1, -2, -1), text};
    }
    return {};
}

// Every text of `window` that is cut, runs into a neighbour or lies outside its parent.
QStringList Cut(QWidget* window)
{
    QStringList faults;
    QList<QWidget*> shown;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) && w->objectName() != QLatin1String("cmbProgress")) {
            continue;
        }
        if (auto* header = qobject_cast<QHeaderView*>(w)) {
            for (int s = 0; s < header->count(); ++s) {
                const QString text = header->model()->headerData(s, Qt::Horizontal).toString();
                const int margin = 2 * w->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, w);
                if (!header->isSectionHidden(s) &&
                    header->fontMetrics().horizontalAdvance(text) + margin >
                        header->sectionSize(s)) {
                    faults << Name(w) + QLatin1Char(':') + text;
                }
            }
        }
        const auto [room, text] = TextAndRoom(w);
        if (text.isEmpty()) {
            continue;
        }
        if (text.width() > room.width() || text.height() > room.height()) {
            faults << QStringLiteral("%1 needs %2x%3 in %4x%5")
                          .arg(Name(w))
                          .arg(text.width())
                          .arg(text.height())
                          .arg(room.width())
                          .arg(room.height());
        }
        if (w->isVisibleTo(window)) {
            for (QWidget* c = w; c != window; c = c->parentWidget()) {
                if (!c->parentWidget()->rect().contains(c->geometry())) {
                    faults << Name(w) + QStringLiteral(" sticks out of ") + Name(c->parentWidget());
                }
            }
            shown << w;
        }
    }
    // A label sized to its text must end before the control that follows it.
    for (QWidget* a : shown) {
        for (QWidget* b : shown) {
            auto* label = qobject_cast<QLabel*>(a);
            QRect text = a->geometry();
            if (label && !label->wordWrap() && label->alignment() & Qt::AlignLeft) {
                text.setWidth(TextAndRoom(a).second.width());
            }
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
        frmPubOptions options(main->dataFolder().configurationFile(), {}, main.get());
        frmPubAbout about(main.get());
        frmPubDetail detail(main.get(), [] { return nullptr; });
        detail.field(0)->setText(QStringLiteral("Sep 28 2008 11:58:58 PM"));
        for (QDialog* dialog : {static_cast<QDialog*>(&options), static_cast<QDialog*>(&about),
                                static_cast<QDialog*>(&detail)}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            check(dialog);
            dialog->close();
        }
        const MessageBox::Handler scripted = MessageBox::setHandler({});
        InstallQtMessageBoxHandler();
        for (const char* text :
             {"Are you sure you want to stop tracing your operations in Windows Explorer?",
              "No available data for display."}) {
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
    void everyTextFitsAtTheDesktopFontAndAt14Points()
    {
        const QFont desktop = QApplication::font();
        for (double points : {desktop.pointSizeF(), 14.0}) {
            QFont font = desktop;
            font.setPointSizeF(points);
            QApplication::setFont(font);
            eachWindow([&](QWidget* w) {
                const QStringList faults = Cut(w);
                QVERIFY2(faults.isEmpty(),
                         qPrintable(QString::number(points) + QStringLiteral(" pt: ") +
                                    faults.join(QStringLiteral("; "))));
            });
        }
        QApplication::setFont(desktop);
    }

    void theDesignFontGivesTheDesignExactly()
    {
        const int regular =
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf"));
        const int bold =
            QFontDatabase::addApplicationFont(QStringLiteral("/usr/share/wine/fonts/tahomabd.ttf"));
        if (regular < 0 || bold < 0) {
            QSKIP("Tahoma's metric twin is missing (package fonts-wine)");
        }
        // A desktop of the design's time: 9 pt, where the forms are drawn at 8.25 pt.
        QFont font = QApplication::font();
        font.setPointSizeF(9);
        QApplication::setFont(font);
        eachWindow([](QWidget* w) {
            if (!w->inherits("QMessageBox")) {
                QCOMPARE(w->property("formScale").toSizeF(), QSizeF(1, 1));
            }
            QVERIFY2(Cut(w).isEmpty(), qPrintable(Cut(w).join(QStringLiteral("; "))));
        });
        QFontDatabase::removeApplicationFont(regular);
        QFontDatabase::removeApplicationFont(bold);
    }

    void theBannerKeepsItsColoursWhileTheWindowIsDisabled()
    {
        auto main = zlv::test::MakeTestWindow(m_appData.path(), m_source);
        main->setEnabled(false);
        const QImage look = main->progressBanner()->grab().toImage();
        int darkest = 255;
        for (int y = 0; y < look.height(); ++y) {
            for (int x = 0; x < look.width(); ++x) {
                darkest = std::min(darkest, qGray(look.pixel(x, y)));
            }
        }
        // Left of the text, inside the border.
        QCOMPARE(look.pixelColor(int(6 * look.devicePixelRatio()), look.height() / 2),
                 QColor(128, 128, 255));
        QCOMPARE(darkest,
                 qGray(main->palette().color(QPalette::Active, QPalette::ButtonText).rgb()));
    }
};

QTEST_MAIN(LayoutTest)
#include "LayoutTest.moc"
