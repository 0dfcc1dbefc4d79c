#include "mainwindow/Commands.h"

#include "logstore/LogListView.h"
#include "mainwindow/DesktopWords.h"
#include "mainwindow/ExclusionCommands.h"
#include "mainwindow/FindCommands.h"
#include "mainwindow/HelpPage.h"
#include "mainwindow/frmPubMain.h"
#include "utility/Autostart.h"
#include "utility/SystemUtility.h"
#include "utility/WebPages.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace zlv {

namespace {

void Separator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

void OpenPage(const std::string& address)
{
    SystemUtility::OpenWebPage(address, 1);
}

} // namespace

QAction* AddMenuItem(QMenu* menu, const char* name, const char* caption, QKeySequence shortcut)
{
    QAction* action = menu->addAction(QString::fromUtf8(caption));
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // Shortcuts work whenever the main window is active, also while the menu is closed
        // and the focus is in a list.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

bool RunToolbarCommand(frmPubMain& w, const QString& caption)
{
    if (caption == QLatin1String("Manage Log Files")) {
        w.manageLogFiles();
    } else if (caption == QLatin1String("Detail View")) {
        w.showDetailView();
    } else if (caption == QLatin1String("Options")) {
        w.showOptions();
    } else if (caption == QLatin1String("Homepage")) {
        OpenPage(web::ProductPage());
    } else if (caption == QLatin1String("Exit")) {
        w.close();
    } else {
        return false;
    }
    return true;
}

QMenu* BuildCommands(frmPubMain& w)
{
    QMenuBar* bar = w.menuBar();

    QMenu* logs = bar->addMenu(QStringLiteral("&Logs"));
    logs->setObjectName(QStringLiteral("menl"));
    QObject::connect(
        AddMenuItem(logs, "menlm", "&Manage Log Files", QKeySequence(Qt::CTRL | Qt::Key_M)),
        &QAction::triggered, &w, [&w] { w.manageLogFiles(); });
    QObject::connect(
        AddMenuItem(logs, "menlv", "Detail &View...", QKeySequence(Qt::CTRL | Qt::Key_D)),
        &QAction::triggered, &w, [&w] { w.showDetailView(); });
    Separator(logs, "menlsc");
    QObject::connect(AddMenuItem(logs, "menlt", "View &Today", QKeySequence(Qt::CTRL | Qt::Key_T)),
                     &QAction::triggered, &w, [&w] { w.showTodayView(); });
    QObject::connect(
        AddMenuItem(logs, "menlh", "View &History", QKeySequence(Qt::CTRL | Qt::Key_H)),
        &QAction::triggered, &w, [&w] { w.showHistoryView(); });
    Separator(logs, "menlsd");
    QObject::connect(AddMenuItem(logs, "menlx", "E&xit"), &QAction::triggered, &w,
                     [&w] { w.close(); });

    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    tools->setObjectName(QStringLiteral("ment"));
    QObject::connect(AddMenuItem(tools, "mento", "&Options..."), &QAction::triggered, &w,
                     [&w] { w.showOptions(); });
    Separator(tools, "mentsa");
    QObject::connect(AddMenuItem(tools, "mentm", "&Map Network Drive..."), &QAction::triggered, &w,
                     [&w] { w.mapNetworkDrive(); });
    QObject::connect(AddMenuItem(tools, "mentd", "&Disconnect Network Drive..."),
                     &QAction::triggered, &w, [&w] { w.disconnectNetworkDrive(); });
    Separator(tools, "mentsb");
    QAction* session = AddMenuItem(tools, "mentss", "Start with the Desktop &Session");
    session->setCheckable(true);
    // The mark shows what is on disk, also when the entry was written or removed elsewhere
    // or could not be written.
    const auto showEntry = [session] { session->setChecked(autostart::IsEnabled()); };
    showEntry();
    QObject::connect(tools, &QMenu::aboutToShow, session, showEntry);
    QObject::connect(session, &QAction::triggered, session, [showEntry](bool on) {
        autostart::SetEnabled(on);
        showEntry();
    });

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("menh"));
    // F1 is help: the product page where the build has a server, else the help that came
    // with the program, under an item of its own so that no caption says what is not so.
    const bool server = web::HasRealServer();
    if (!server) {
        QObject::connect(AddMenuItem(help, "menhl", "Zelvory &Help", QKeySequence(Qt::Key_F1)),
                         &QAction::triggered, &w, [] { OpenHelp(); });
    }
    QObject::connect(AddMenuItem(help, "menhh", "Product &Homepage",
                                 server ? QKeySequence(Qt::Key_F1) : QKeySequence()),
                     &QAction::triggered, &w, [] { OpenPage(web::ProductPage()); });
    QObject::connect(AddMenuItem(help, "menho", "C&ompany Homepage"), &QAction::triggered, &w,
                     [] { OpenPage(web::CompanyHomePage()); });
    QObject::connect(AddMenuItem(help, "menhe", "Request &Support"), &QAction::triggered, &w,
                     [] { OpenPage(web::ContactPage()); });
    Separator(help, "menhsa");
    QObject::connect(AddMenuItem(help, "menhr", "&Recommend to Friends"), &QAction::triggered, &w,
                     [] { OpenPage(web::RecommendPage()); });
    QObject::connect(AddMenuItem(help, "menhc", "&Check Latest Version"), &QAction::triggered, &w,
                     [&w] { w.checkLatestVersion(); });
    Separator(help, "menhsb");
    QObject::connect(AddMenuItem(help, "menhf", "Find Us on &Facebook"), &QAction::triggered, &w,
                     [] { OpenPage(web::FacebookPage()); });
    QObject::connect(AddMenuItem(help, "menht", "Find Us on &Twitter"), &QAction::triggered, &w,
                     [] { OpenPage(web::TwitterPage()); });
    Separator(help, "menhsc");
    QObject::connect(AddMenuItem(help, "menha", "&About Zelvory"), &QAction::triggered, &w,
                     [&w] { w.showAbout(); });

    QToolBar* toolbar = w.addToolBar(QStringLiteral("Toolbar1"));
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(QSize(24, 24));
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    struct Button
    {
        const char* caption;
        const char* key;
        const char* tip;
        const char* icon;
    };
    const Button buttons[] = {
        {"Manage Log Files", "Manage", words::For().manageLogFilesTip, "manage"},
        {"Detail View", "Detail", "Views the logs one by one <Ctrl+D>.", "detail"},
        {nullptr, nullptr, nullptr, nullptr},
        {"Options", "Options", "Displays and sets ZLV options.", "options"},
        {nullptr, nullptr, nullptr, nullptr},
        {"Homepage", "Help",
         server ? "Visits ZLV homepage to get news <F1>." : "Visits ZLV homepage to get news.",
         "homepage"},
        {nullptr, nullptr, nullptr, nullptr},
        {"Exit", "Exit", "Exits Zelvory <Alt + F4>.", "exit"},
    };
    for (const Button& b : buttons) {
        if (!b.caption) {
            toolbar->addSeparator();
            continue;
        }
        QAction* action =
            toolbar->addAction(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(b.icon))),
                               QString::fromLatin1(b.caption));
        action->setObjectName(QStringLiteral("tlb") + QString::fromLatin1(b.key));
        action->setData(QString::fromLatin1(b.key));
        action->setToolTip(QString::fromLatin1(b.tip));
        // One handler for every button, choosing the command by the button's caption.
        QObject::connect(action, &QAction::triggered, &w,
                         [&w, action] { RunToolbarCommand(w, action->text()); });
    }

    for (LogListView* list : {w.lsvToday(), w.lsvHistory()}) {
        QObject::connect(list, &LogListView::contextMenuRequested, &w,
                         [logs](const QPoint& at) { logs->popup(at); });
    }
    AddFindCommands(w, logs, toolbar);
    AddExclusionCommands(w, logs, tools);
    return logs;
}

} // namespace zlv
