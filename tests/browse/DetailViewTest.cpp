#include "browse/frmPubDetail.h"
#include "logstore/LogLines.h"
#include "logstore/LogListView.h"
#include "settings/DisplayFormat.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using zlv::frmPubDetail;
using F = zlv::frmPubDetail;

namespace {

// A log list as the main window has it: six columns, single whole-row selection. The row
// of key k reads "tk ok ak pk nk" and an empty new name, "renamed.txt" for key "r".
struct LogList
{
    QStandardItemModel model;
    QTreeView view;

    explicit LogList(std::initializer_list<const char*> keys = {})
    {
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        reload(keys);
    }
    void reload(std::initializer_list<const char*> keys)
    {
        model.clear();
        model.setColumnCount(6);
        for (const char* key : keys) {
            QList<QStandardItem*> row;
            for (const char* prefix : {"t", "o", "a", "p", "n"}) {
                row.append(new QStandardItem(QLatin1String(prefix) + QLatin1String(key)));
            }
            row.append(new QStandardItem(QLatin1String(*key == 'r' ? "renamed.txt" : "")));
            model.appendRow(row);
        }
    }
    void select(int row)
    {
        view.selectionModel()->setCurrentIndex(
            model.index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    int selectedRow() const
    {
        const QModelIndexList rows = view.selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() : -1;
    }
};

// The six fields, joined by "|".
QString Fields(const frmPubDetail& d)
{
    QStringList texts;
    for (int i = 0; i < F::kFieldCount; ++i) {
        texts << d.field(i)->text();
    }
    return texts.join(QLatin1Char('|'));
}

} // namespace

class DetailViewTest : public QObject
{
    Q_OBJECT

    // Runs `inside` on the dialog Open shows, then presses Esc; false when none came up.
    bool openAndRun(QWidget* mainWindow, F::VisibleList list,
                    const std::function<void(frmPubDetail&)>& inside)
    {
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            if (frmPubDetail* d = frmPubDetail::openInstance()) {
                opened = QApplication::activeModalWidget() == d;
                inside(*d);
                QTest::keyClick(d, Qt::Key_Escape);
            } else if (QWidget* other = QApplication::activeModalWidget()) {
                other->close();
            }
        });
        frmPubDetail::Open(mainWindow, std::move(list));
        QCoreApplication::processEvents();
        return opened && !frmPubDetail::openInstance();
    }

private Q_SLOTS:
    void opensModallyOnTheSelectedOrTopRowOrSaysThereIsNone()
    {
        zlv::test::ScriptedMessages messages;
        QWidget mainWindow;
        mainWindow.setGeometry(100, 100, 800, 600);
        mainWindow.show();
        LogList list({"1", "2", "3"});
        QStringList seen; // title, fields and the selected text; then Next is pressed
        const auto look = [&](frmPubDetail& d) {
            seen << d.windowTitle() << Fields(d) << d.field(0)->selectedText();
            QTest::mouseClick(d.button(F::kNext), Qt::LeftButton);
        };
        // Nothing selected: the top row; then the row the first run left selected.
        const auto visible = [&] { return &list.view; };
        QVERIFY(openAndRun(&mainWindow, visible, look));
        QVERIFY(openAndRun(&mainWindow, visible, look));
        QCOMPARE(list.selectedRow(), 2);
        QCOMPARE(seen.join(QLatin1Char('/')),
                 QStringLiteral("Detail View/t1|o1|a1|p1|n1|/t1/Detail View/t2|o2|a2|p2|n2|/t2"));
        QVERIFY(messages.shown().empty());

        list.reload({});
        QVERIFY(!openAndRun(&mainWindow, visible, look));
        QVERIFY(!openAndRun(&mainWindow, {}, look));
        QCOMPARE(messages.shown().size(), size_t(2));
        for (const zlv::MessageBox::Request& r : messages.shown()) {
            QCOMPARE(QString::fromStdString(r.text),
                     QStringLiteral("No available data for display."));
            QCOMPARE(r.icon, zlv::MessageBox::Icon::Information);
        }
    }

    void steppingStopsAtTheEndsAndFollowsTheListAsItIsNow()
    {
        LogList list({"1", "2", "3", "4"});
        LogList other({"h1", "h2", "h3"});
        list.select(0);
        other.select(0);
        LogList* visible = &list;
        frmPubDetail d(nullptr, [&] { return visible ? &visible->view : nullptr; });
        d.showSelectedRow();
        d.show();
        QStringList seen; // the date shown and the list's selected row after each press
        const auto press = [&](std::initializer_list<int> buttons) {
            for (int b : buttons) {
                QTest::mouseClick(d.button(b), Qt::LeftButton);
                seen << QStringLiteral("%1@%2").arg(d.field(0)->text()).arg(list.selectedRow());
            }
        };
        press({F::kPrevious, F::kFirst, F::kNext, F::kLast, F::kNext, F::kPrevious, F::kFirst});
        QCOMPARE(Fields(d), QStringLiteral("t1|o1|a1|p1|n1|"));
        // A record arrives: the list is reloaded with one row more and a new selection, shown
        // even by a press that moves nothing.
        list.reload({"1", "2", "3", "4", "5"});
        list.select(4);
        press({F::kNext, F::kLast});
        // Re-sorted under the open dialog: "5" is now the top row.
        list.view.setSortingEnabled(true);
        list.view.sortByColumn(0, Qt::DescendingOrder);
        press({F::kNext, F::kPrevious, F::kPrevious});
        QCOMPARE(seen.join(QLatin1Char(' ')), QStringLiteral("t1@0 t1@0 t2@1 t4@3 t4@3 t3@2 t1@0 "
                                                             "t5@4 t5@4 t4@1 t5@0 t5@0"));

        // Each press asks anew which list is visible.
        visible = &other;
        d.next();
        QCOMPARE(d.field(0)->text(), QStringLiteral("th2"));
        QCOMPARE(other.selectedRow(), 1);
        QCOMPARE(list.selectedRow(), 0);
        // A new day empties the list, or none is visible: presses keep what is shown.
        other.reload({});
        press({F::kFirst, F::kPrevious, F::kNext, F::kLast});
        visible = nullptr;
        d.first();
        QCOMPARE(d.field(0)->text(), QStringLiteral("th2"));
    }

    // On the real list, whose rows are placed by number: each press lands on the row it
    // names, the dialog shows that row, and the list has scrolled it fully into sight.
    void steppingThroughALongListShowsEachRowItLandsOn()
    {
        zlv::ProgramDisplayFormat() = zlv::DefaultDisplayFormat();
        zlv::test::TempDir dir;
        const std::string day = dir.path() + "/day.log";
        zlv::test::WriteBytes(day, zlv::test::Lines(600));
        zlv::LogListView list(zlv::LogListView::Kind::Today);
        list.rebuildToday(day);
        list.resize(500, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        frmPubDetail d(nullptr, [&] { return &list; });
        QStringList wrong;
        const auto press = [&](int button, int row) {
            QTest::mouseClick(d.button(button), Qt::LeftButton);
            QCoreApplication::processEvents();
            const QModelIndexList selected = list.selectionModel()->selectedRows();
            const QModelIndex at = list.model()->index(row, 0);
            const QRect place = static_cast<QTreeView&>(list).QTreeView::visualRect(at);
            if (selected.size() != 1 || selected.first().row() != row ||
                d.field(F::kDateAndTime)->text() != list.logModel()->text(row, 0) ||
                !list.viewport()->rect().contains(place)) {
                wrong << QStringLiteral("%1 to %2").arg(button).arg(row);
            }
        };
        press(F::kLast, 599);
        press(F::kPrevious, 598);
        press(F::kNext, 599);
        press(F::kNext, 599);
        press(F::kFirst, 0);
        press(F::kPrevious, 0);
        for (int row = 1; row < 40; ++row) {
            press(F::kNext, row); // past the bottom of the first screenful
        }
        press(F::kLast, 599);
        QCOMPARE(wrong, QStringList());
    }

    void copyTakesTheFocusedFieldAndEmptiesTheClipboardForAnEmptyOne()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        LogList list({"1", "r"});
        list.select(0);
        frmPubDetail d(nullptr, [&] { return &list.view; });
        d.showSelectedRow();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));

        // Nothing focused by the user: the date field, which has the focus from the start.
        clipboard->setText(QStringLiteral("previous"));
        QTest::mouseClick(d.button(F::kCopy), Qt::LeftButton);
        QCOMPARE(clipboard->text(), QStringLiteral("t1"));

        // A click into a field makes it current and selects its whole text.
        QTest::mouseClick(d.field(F::kPath), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(d.currentField(), int(F::kPath));
        QTRY_COMPARE(d.field(F::kPath)->selectedText(), QStringLiteral("p1"));
        // Enter in a field presses Copy, the default button.
        QTest::keyClick(d.field(F::kPath), Qt::Key_Return);
        QCOMPARE(clipboard->text(), QStringLiteral("p1"));

        // The access key of a label moves the focus to its field, which is read-only.
        QTest::keyClick(&d, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(d.currentField(), int(F::kNewName));
        QVERIFY(d.field(F::kNewName)->isReadOnly());
        clipboard->setText(QStringLiteral("previous"));
        d.copy();
        QCOMPARE(clipboard->text(), QString());

        // The current field stays while stepping; the next row's value is copied.
        d.next();
        d.copy();
        QCOMPARE(clipboard->text(), QStringLiteral("renamed.txt"));
    }
};

QTEST_MAIN(DetailViewTest)
#include "DetailViewTest.moc"
