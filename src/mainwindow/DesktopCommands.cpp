#include "mainwindow/DesktopCommands.h"

#include "logstore/LogListView.h"
#include "mainwindow/Commands.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QToolButton>

namespace zlv {

namespace {

// The same access keys as the Detail View's fields for the same columns.
constexpr const char* kColumnCaptions[] = {"&Time", "&Object",        "&Action",
                                           "&Path", "O&riginal Name", "&New Name"};
constexpr const char* kHistoryTimeCaption = "&Date And Time";

void AddSortMenu(frmPubMain& w, QMenu* logs)
{
    QMenu* sort = logs->addMenu(QStringLiteral("Sort &By"));
    sort->setObjectName(QStringLiteral("menlb"));
    auto* group = new QActionGroup(sort);
    for (int column = 0; column < LogListModel::kColumnCount; ++column) {
        QAction* item = AddMenuItem(sort, "", kColumnCaptions[column]);
        item->setObjectName(QStringLiteral("menlb%1").arg(column));
        item->setCheckable(true);
        group->addAction(item);
        QObject::connect(item, &QAction::triggered, &w,
                         [&w, column] { w.visibleList()->headerClicked(column); });
    }
    // The marks and the time column's caption follow the list shown when the menu opens.
    QObject::connect(sort, &QMenu::aboutToShow, &w, [&w, sort] {
        const LogListView* list = w.visibleList();
        const QList<QAction*> items = sort->actions();
        items[0]->setText(QString::fromUtf8(
            list->kind() == LogListView::Kind::History ? kHistoryTimeCaption : kColumnCaptions[0]));
        items[list->sortColumnIndex()]->setChecked(true);
    });
}

void AddTrayCommand(frmPubMain& w, QMenu* logs)
{
    // Ctrl+W closes a window and leaves its program running: here the window closes into
    // the notification area and recording goes on.
    QAction* tray = AddMenuItem(logs, "menln", "Hide in the &Notification Area",
                                QKeySequence(Qt::CTRL | Qt::Key_W));
    QObject::connect(tray, &QAction::triggered, &w, [&w] { w.trayIcon()->AddTrayIcon(); });
    const auto follow = [&w, tray] { tray->setEnabled(w.trayIcon()->available()); };
    follow();
    QObject::connect(w.trayIcon(), &TrayIcon::availabilityChanged, tray, follow);
    QObject::connect(logs, &QMenu::aboutToShow, tray, follow);
}

} // namespace

void AddDesktopCommands(frmPubMain& w, QMenu* logs)
{
    // The button a narrow window shows for the toolbar's buttons that do not fit.
    if (auto* more = w.findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button"))) {
        more->setAccessibleName(QStringLiteral("More Buttons"));
    }
    logs->addSeparator()->setObjectName(QStringLiteral("menlsg"));
    AddSortMenu(w, logs);
    AddTrayCommand(w, logs);
}

} // namespace zlv
