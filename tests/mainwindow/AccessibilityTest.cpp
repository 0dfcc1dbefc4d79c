// What a screen reader finds: every window and dialog walked through Qt's accessibility
// interfaces, failing on any control the user can operate that has no name; and what a
// keyboard reaches that otherwise takes the mouse.
#include "browse/frmPubDetail.h"
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/HealthNotice.h"
#include "settings/frmPubAbout.h"
#include "settings/frmPubOptions.h"
#include "support/TestWindow.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace zlv;

namespace {

// What a user operates, and so must hear named.
constexpr QAccessible::Role kOperable[] = {
    QAccessible::Button,   QAccessible::CheckBox,     QAccessible::RadioButton,
    QAccessible::ComboBox, QAccessible::EditableText, QAccessible::SpinBox,
    QAccessible::List,     QAccessible::Table,        QAccessible::Tree,
    QAccessible::PageTab,  QAccessible::MenuItem,     QAccessible::ButtonMenu,
    QAccessible::Link,     QAccessible::ColumnHeader, QAccessible::Dialog,
    QAccessible::Window};

// Everything below `node` that can be operated and says nothing, as paths of roles.
void Unnamed(QAccessibleInterface* node, const QString& path, QStringList& found, int depth = 0)
{
    if (!node || !node->isValid() || depth > 40) {
        return;
    }
    const QAccessible::Role role = node->role();
    const QString here = path + QLatin1Char('/') + QString::number(role, 16) + QLatin1Char(':') +
                         (node->object() ? node->object()->objectName() : QString());
    if (std::find(std::begin(kOperable), std::end(kOperable), role) != std::end(kOperable) &&
        node->text(QAccessible::Name).trimmed().isEmpty()) {
        found << here;
    }
    // A list's rows are its data, not its controls: its headers and first cells tell enough.
    const bool view =
        role == QAccessible::Tree || role == QAccessible::Table || role == QAccessible::List;
    const int children = view ? std::min(node->childCount(), 14) : node->childCount();
    for (int i = 0; i < children; ++i) {
        Unnamed(node->child(i), here, found, depth + 1);
    }
}

QStringList UnnamedIn(QWidget* window)
{
    QStringList found;
    Unnamed(QAccessible::queryAccessibleInterface(window), QString(), found);
    // Menus open as windows of their own.
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        Unnamed(QAccessible::queryAccessibleInterface(menu), menu->objectName(), found);
    }
    return found;
}

bool Labelled(QWidget* control)
{
    return !QAccessible::queryAccessibleInterface(control)->relations(QAccessible::Label).isEmpty();
}

} // namespace

class AccessibilityTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyControlOfEveryWindowHasAName()
    {
        test::WindowTestState env;
        auto w = env.window();
        env.source->deliver(shell::SHCNE_CREATE, ShellItem{"a.txt", "/h/a.txt"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 1);
        w->capture()->reportIncident({.sentence = "The event queue overflowed."});
        QTRY_VERIFY(w->healthNotice()->warning()->isVisible());
        frmPubOptions options(
            w->dataFolder().configurationFile(), [] {}, w.get());
        frmPubAbout about(w.get());
        frmPubDetail detail(w.get(), [&w]() -> QTreeView* { return w->lsvToday(); });
        for (QWidget* window :
             std::initializer_list<QWidget*>{w.get(), &options, &about, &detail}) {
            window->show();
            const QStringList unnamed = UnnamedIn(window);
            QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QLatin1Char('\n'))));
        }
        QVERIFY(Labelled(w->findChild<QWidget*>(QStringLiteral("dtpF"))));
        QVERIFY(Labelled(detail.findChild<QWidget*>(QStringLiteral("txt3"))));
        // Arrows are no name to a listener.
        QCOMPARE(QAccessible::queryAccessibleInterface(detail.button(0))->text(QAccessible::Name),
                 QStringLiteral("First Record"));
    }

    void sortingByAColumnTakesNoMouse()
    {
        test::WindowTestState env;
        auto w = env.window();
        auto* sortBy = w->findChild<QMenu*>(QStringLiteral("menlb"));
        LogListView* list = w->lsvToday();
        // The same rule as a header click: every choice flips the direction.
        for (const auto& [column, order] :
             {std::pair{2, Qt::AscendingOrder}, std::pair{2, Qt::DescendingOrder},
              std::pair{4, Qt::AscendingOrder}}) {
            sortBy->actions()[column]->trigger();
            QCOMPARE(list->sortColumnIndex(), column);
            QCOMPARE(list->sortOrderFlag(), order);
        }
        Q_EMIT sortBy->aboutToShow();
        QVERIFY(sortBy->actions()[4]->isChecked());
        // It works on the list shown, whose time column has its own caption.
        w->showHistoryView();
        Q_EMIT sortBy->aboutToShow();
        QCOMPARE(sortBy->actions()[0]->text(), QStringLiteral("&Date And Time"));
        sortBy->actions()[1]->trigger();
        QVERIFY(w->lsvHistory()->sortColumnIndex() == 1 && list->sortColumnIndex() == 4);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
