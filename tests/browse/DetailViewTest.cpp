#include "browse/frmPubDetail.h"
#include "support/ScriptedMessages.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using zlv::frmPubDetail;
using zlv::MessageBox;

namespace {

// A log list as the main window has it: six columns, single whole-row selection.
struct LogList
{
    QStandardItemModel model;
    QTreeView view;

    LogList()
    {
        model.setColumnCount(6);
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setSelectionMode(QAbstractItemView::SingleSelection);
    }

    // Rows named by a key: time "t<key>", object "o<key>", ... new name empty unless given.
    void add(const QString& key, const QString& newName = {})
    {
        QList<QStandardItem*> row;
        for (const char* prefix : {"t", "o", "a", "p", "n"}) {
            row.append(new QStandardItem(QLatin1String(prefix) + key));
        }
        row.append(new QStandardItem(newName));
        model.appendRow(row);
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
    QString timeAt(int row) const { return model.index(row, 0).data().toString(); }
};

QStringList Strings(std::initializer_list<const char*> texts)
{
    QStringList list;
    for (const char* t : texts) {
        list << QString::fromUtf8(t);
    }
    return list;
}

QStringList Fields(const frmPubDetail& d)
{
    QStringList texts;
    for (int i = 0; i < frmPubDetail::kFieldCount; ++i) {
        texts << d.field(i)->text();
    }
    return texts;
}

} // namespace

class DetailViewTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyOrMissingListShowsMessageInsteadOfDialog()
    {
        zlv::test::ScriptedMessages messages;
        LogList empty;
        bool opened = false;
        QTimer::singleShot(0, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = true;
                modal->close();
            }
        });
        frmPubDetail::Open(nullptr, [&] { return &empty.view; });
        frmPubDetail::Open(nullptr, [] { return static_cast<QTreeView*>(nullptr); });
        frmPubDetail::Open(nullptr, {});
        QCoreApplication::processEvents();

        QVERIFY(!opened);
        QCOMPARE(messages.shown().size(), size_t(3));
        for (const MessageBox::Request& r : messages.shown()) {
            QCOMPARE(QString::fromStdString(r.text),
                     QStringLiteral("No available data for display."));
            QCOMPARE(r.icon, MessageBox::Icon::Information);
            QCOMPARE(r.buttons, MessageBox::Buttons::Ok);
            QCOMPARE(QString::fromStdString(r.title), QStringLiteral("Zelvory"));
        }
    }

    void openRunsModallyOnTheSelectedRowAndKeepsTheLastShownSelected()
    {
        zlv::test::ScriptedMessages messages;
        QWidget mainWindow;
        mainWindow.setGeometry(100, 100, 800, 600);
        mainWindow.show();
        LogList list;
        for (const char* key : {"1", "2", "3"}) {
            list.add(QLatin1String(key));
        }
        list.select(1);

        QStringList seen;
        bool modal = false;
        bool focusInFirstField = false;
        QSize size;
        QString title;
        QTimer::singleShot(0, this, [&] {
            frmPubDetail* d = frmPubDetail::openInstance();
            if (!d) {
                return;
            }
            modal = d->isModal() && QApplication::activeModalWidget() == d;
            title = d->windowTitle();
            size = d->size();
            seen = Fields(*d);
            focusInFirstField = d->currentField() == frmPubDetail::kDateAndTime &&
                                d->field(0)->selectedText() == d->field(0)->text();
            QTest::mouseClick(d->button(frmPubDetail::kNext), Qt::LeftButton);
            QTest::keyClick(d, Qt::Key_Escape);
        });
        frmPubDetail::Open(&mainWindow, [&] { return &list.view; });

        QVERIFY(modal);
        QCOMPARE(title, QStringLiteral("Detail View"));
        QCOMPARE(seen, Strings({"t2", "o2", "a2", "p2", "n2", ""}));
        QVERIFY(focusInFirstField);
        // 7050 by 2880 twips: the client area ends 90 twips past the Close button.
        QCOMPARE(size, QSize(470, 192));
        QVERIFY(!frmPubDetail::openInstance());
        QCOMPARE(list.selectedRow(), 2);
        QVERIFY(messages.shown().empty());
    }

    void listWithoutSelectionOpensOnItsTopRow()
    {
        LogList list;
        list.add(QStringLiteral("1"));
        list.add(QStringLiteral("2"));
        QStringList seen;
        QTimer::singleShot(0, this, [&] {
            if (frmPubDetail* d = frmPubDetail::openInstance()) {
                seen = Fields(*d);
                d->reject();
            }
        });
        frmPubDetail::Open(nullptr, [&] { return &list.view; });
        QCOMPARE(seen.value(0), QStringLiteral("t1"));
        QCOMPARE(list.selectedRow(), 0);
    }

    void steppingStopsAtBothEnds()
    {
        LogList list;
        for (const char* key : {"1", "2", "3", "4"}) {
            list.add(QLatin1String(key));
        }
        list.select(0);
        frmPubDetail d(nullptr, [&] { return &list.view; });
        d.showSelectedRow();
        d.show();

        const auto press = [&](int button) { QTest::mouseClick(d.button(button), Qt::LeftButton); };
        press(frmPubDetail::kPrevious);
        QCOMPARE(list.selectedRow(), 0);
        QCOMPARE(d.field(0)->text(), QStringLiteral("t1"));
        press(frmPubDetail::kFirst);
        QCOMPARE(list.selectedRow(), 0);
        QCOMPARE(d.field(3)->text(), QStringLiteral("p1"));

        press(frmPubDetail::kNext);
        QCOMPARE(list.selectedRow(), 1);
        QCOMPARE(d.field(4)->text(), QStringLiteral("n2"));

        press(frmPubDetail::kLast);
        QCOMPARE(list.selectedRow(), 3);
        QCOMPARE(d.field(0)->text(), QStringLiteral("t4"));
        press(frmPubDetail::kNext);
        press(frmPubDetail::kLast);
        QCOMPARE(list.selectedRow(), 3);
        QCOMPARE(d.field(1)->text(), QStringLiteral("o4"));

        press(frmPubDetail::kPrevious);
        QCOMPARE(list.selectedRow(), 2);
        QCOMPARE(Fields(d), Strings({"t3", "o3", "a3", "p3", "n3", ""}));
        press(frmPubDetail::kFirst);
        QCOMPARE(list.selectedRow(), 0);
        QCOMPARE(d.field(0)->text(), QStringLiteral("t1"));
    }

    void steppingFollowsTheOrderTheListShowsNow()
    {
        LogList list;
        for (const char* key : {"b", "d", "a", "c"}) {
            list.add(QLatin1String(key));
        }
        list.select(0); // "b"
        frmPubDetail d(nullptr, [&] { return &list.view; });
        d.showSelectedRow();

        // Re-sorted under the open dialog: the selection stays on "b", now the second row.
        list.view.setSortingEnabled(true);
        list.view.sortByColumn(0, Qt::AscendingOrder);
        QCOMPARE(list.timeAt(list.selectedRow()), QStringLiteral("tb"));
        d.next();
        QCOMPARE(d.field(0)->text(), QStringLiteral("tc"));
        QCOMPARE(list.timeAt(list.selectedRow()), QStringLiteral("tc"));

        list.view.sortByColumn(0, Qt::DescendingOrder);
        d.next();
        QCOMPARE(d.field(0)->text(), QStringLiteral("tb"));
        d.last();
        QCOMPARE(d.field(0)->text(), QStringLiteral("ta"));
    }

    void rowsRecordedOrListsSwitchedWhileOpenAreReached()
    {
        LogList today;
        LogList history;
        today.add(QStringLiteral("1"));
        today.add(QStringLiteral("2"));
        history.add(QStringLiteral("h1"));
        history.add(QStringLiteral("h2"));
        history.add(QStringLiteral("h3"));
        today.select(1);
        history.select(0);
        QTreeView* visible = &today.view;
        frmPubDetail d(nullptr, [&] { return visible; });
        d.showSelectedRow();
        d.next();
        QCOMPARE(d.field(0)->text(), QStringLiteral("t2"));

        // A record arrives: today's list is reloaded with one row more.
        today.model.removeRows(0, today.model.rowCount());
        for (const char* key : {"1", "2", "3"}) {
            today.add(QLatin1String(key));
        }
        today.select(0);
        d.last();
        QCOMPARE(d.field(0)->text(), QStringLiteral("t3"));
        QCOMPARE(today.selectedRow(), 2);

        // Each press asks anew which list is visible.
        visible = &history.view;
        d.next();
        QCOMPARE(d.field(0)->text(), QStringLiteral("th2"));
        QCOMPARE(history.selectedRow(), 1);
        QCOMPARE(today.selectedRow(), 2);

        // A new day empties the list: presses change nothing and keep what is shown.
        history.model.removeRows(0, history.model.rowCount());
        for (int b = frmPubDetail::kFirst; b <= frmPubDetail::kLast; ++b) {
            QTest::mouseClick(d.button(b), Qt::LeftButton);
        }
        QCOMPARE(d.field(0)->text(), QStringLiteral("th2"));
        visible = nullptr;
        d.first();
        QCOMPARE(d.field(0)->text(), QStringLiteral("th2"));
    }

    void copyTakesTheFocusedFieldAndEmptiesTheClipboardForAnEmptyOne()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        LogList list;
        list.add(QStringLiteral("1"));
        list.add(QStringLiteral("2"), QStringLiteral("renamed.txt"));
        list.select(0);
        frmPubDetail d(nullptr, [&] { return &list.view; });
        d.showSelectedRow();
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));

        // Nothing focused by the user: the date field, which has the focus from the start.
        clipboard->setText(QStringLiteral("previous"));
        QTest::mouseClick(d.button(frmPubDetail::kCopy), Qt::LeftButton);
        QCOMPARE(clipboard->text(), QStringLiteral("t1"));

        // A click into a field makes it current and selects its whole text.
        QTest::mouseClick(d.field(frmPubDetail::kPath), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(d.currentField(), int(frmPubDetail::kPath));
        QTRY_COMPARE(d.field(frmPubDetail::kPath)->selectedText(), QStringLiteral("p1"));
        // Enter in a field presses Copy, the default button.
        QTest::keyClick(d.field(frmPubDetail::kPath), Qt::Key_Return);
        QCOMPARE(clipboard->text(), QStringLiteral("p1"));

        // The access key of a label moves the focus to its field.
        QTest::keyClick(&d, Qt::Key_N, Qt::AltModifier);
        QCOMPARE(d.currentField(), int(frmPubDetail::kNewName));
        clipboard->setText(QStringLiteral("previous"));
        d.copy();
        QCOMPARE(clipboard->text(), QString());

        // The current field stays while stepping; the next row's value is copied.
        d.next();
        d.copy();
        QCOMPARE(clipboard->text(), QStringLiteral("renamed.txt"));
    }

    void layoutAccessKeysAndButtons()
    {
        LogList list;
        frmPubDetail d(nullptr, [&] { return &list.view; });
        const QStringList captions = Strings(
            {"&Date And Time", "&Object", "&Action", "&Path", "O&riginal Name", "&New Name"});
        for (int i = 0; i < frmPubDetail::kFieldCount; ++i) {
            auto* label = d.findChild<QLabel*>(QStringLiteral("lbl%1").arg(i));
            QVERIFY(label);
            QCOMPARE(label->text(), captions[i]);
            QCOMPARE(label->buddy(), d.field(i));
            QVERIFY(d.field(i)->isReadOnly());
        }
        const QStringList buttons = Strings({"|<<", "<<", ">>", ">>|", "&Copy", "C&lose"});
        const QStringList tips =
            Strings({"Display the first row.", "Display the previous row.", "Display the next row.",
                     "Display the last row.", "Copy current field.", "Close this dialog box."});
        int previousRight = 0;
        for (int i = 0; i < frmPubDetail::kButtonCount; ++i) {
            QPushButton* b = d.button(i);
            QCOMPARE(b->objectName(), QStringLiteral("cmb%1").arg(i));
            QCOMPARE(b->text(), buttons[i]);
            QCOMPARE(b->toolTip(), tips[i]);
            QCOMPARE(b->font().bold(), i <= frmPubDetail::kLast);
            QVERIFY(b->x() > previousRight);
            previousRight = b->geometry().right();
        }
        QVERIFY(d.button(frmPubDetail::kCopy)->isDefault());
        QVERIFY(!(d.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QCOMPARE(d.minimumSize(), d.maximumSize());
    }
};

QTEST_MAIN(DetailViewTest)
#include "DetailViewTest.moc"
