#include "mainwindow/Commands.h"

#include "browse/ContainingFolder.h"
#include "browse/frmPubDetail.h"
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/frmPubMain.h"
#include "support/Environment.h"
#include "support/Modal.h"
#include "support/OpenedUrls.h"
#include "support/TestWindow.h"
#include "utility/DesktopLaunch.h"
#include "utility/WebPages.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace zlv;
using zlv::test::TempDir;

class CommandsTest : public QObject
{
    Q_OBJECT

private:
    std::optional<zlv::test::WindowTestState> m_env;
    std::unique_ptr<frmPubMain> m_window;
    zlv::test::OpenedUrls m_urls;

    QAction* toolbarButton(const QString& caption) const
    {
        for (QAction* a : m_window->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions()) {
            if (a->text() == caption) {
                return a;
            }
        }
        return nullptr;
    }

    // Runs `route` and reports whether the Detail View came up; closes it if so.
    bool opensDetailView(const std::function<void()>& route)
    {
        bool opened = false;
        QTimer probe;
        probe.setInterval(5);
        connect(&probe, &QTimer::timeout, this, [&] {
            if (frmPubDetail* d = frmPubDetail::openInstance(); d && d->isVisible()) {
                opened = true;
                d->reject();
            }
        });
        probe.start();
        const std::size_t told = m_env->messages.shown().size();
        route();
        // Either the dialog came up or a box said why not.
        (void)QTest::qWaitFor([&] { return opened || m_env->messages.shown().size() > told; },
                              5000);
        return opened;
    }

    std::vector<std::pair<const char*, std::function<void()>>> detailRoutes()
    {
        LogListView* list = m_window->lsvToday();
        return {
            {"Ctrl+D", [this] { QTest::keyClick(m_window.get(), Qt::Key_D, Qt::ControlModifier); }},
            {"toolbar", [this] { toolbarButton(QStringLiteral("Detail View"))->trigger(); }},
            {"Logs menu / context menu",
             [this] { m_window->findChild<QAction*>(QStringLiteral("menlv"))->trigger(); }},
            {"Enter", [list] { QTest::keyClick(list, Qt::Key_Return); }},
            {"Shift+Enter", [list] { QTest::keyClick(list, Qt::Key_Enter, Qt::ShiftModifier); }},
            {"double-click",
             [list] { QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, 8)); }},
        };
    }

private Q_SLOTS:
    void init()
    {
        m_env.emplace();
        m_window = m_env->window();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->lsvToday()->setFocus();
        m_urls.urls.clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_env.reset();
    }

    void everyRouteToTheDetailViewBehavesAlike()
    {
        // What an empty list says is the Detail View's own test.
        m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{"a", "/h/a"});
        QTRY_COMPARE(m_window->lsvToday()->rowCount(), 1);
        m_window->lsvToday()->setFocus();
        for (const auto& [name, route] : detailRoutes()) {
            QVERIFY2(opensDetailView(route), name);
        }
        QVERIFY(m_env->messages.shown().empty());

        // The History view's list is the one the commands then work on.
        m_window->showHistoryView();
        QVERIFY(!opensDetailView(
            [this] { m_window->findChild<QAction*>(QStringLiteral("menlv"))->trigger(); }));
        QCOMPARE(m_env->messages.shown().back().text,
                 std::string("No available data for display."));
    }

    void toolbarButtonsDispatchByTheirExactCaption()
    {
        m_env->messages.answerNext(MessageBox::Answer::No);
        QVERIFY(RunToolbarCommand(*m_window, QStringLiteral("Exit")));
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QVERIFY(m_window->isVisible());

        QVERIFY(RunToolbarCommand(*m_window, QStringLiteral("Homepage")));
        QVERIFY(RunToolbarCommand(*m_window, QStringLiteral("Manage Log Files")));
        QCOMPARE(m_urls.urls.size(), 2);
        QCOMPARE(m_urls.urls[0].toString(), QString::fromStdString(web::ProductPage()));
        QCOMPARE(m_urls.urls[1].toLocalFile(),
                 QString::fromStdString(m_window->dataFolder().logsFolder()));

        for (const char* other : {"exit", "Home page", "", "Detail View "}) {
            QVERIFY2(!RunToolbarCommand(*m_window, QString::fromLatin1(other)), other);
        }
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        m_window->findChild<QAction*>(QStringLiteral("menhh"))->trigger();
        m_window->findChild<QAction*>(QStringLiteral("menhr"))->trigger();
        QCOMPARE(m_urls.urls.mid(2),
                 QList<QUrl>({m_urls.urls[0], QUrl(m_urls.urls[0].toString() +
                                                   QStringLiteral("?selectedTab=recommend"))}));
    }

    void f1OpensTheHelpThatCameWithABuildWithoutAServer()
    {
        if (web::HasRealServer()) {
            QSKIP("this build has a server: F1 is its product page");
        }
        m_urls.urls.clear();
        TempDir shared;
        const zlv::test::ScopedEnv dataDirs("XDG_DATA_DIRS", shared.path());
        QTest::keyClick(m_window.get(), Qt::Key_F1); // not installed: said, nothing opened
        const QString page = QString::fromStdString(shared.path() + "/zelvory/help/zelvory.html");
        QDir().mkpath(QFileInfo(page).path());
        QFile(page).open(QIODevice::WriteOnly);
        QTest::keyClick(m_window.get(), Qt::Key_F1);
        QCOMPARE(m_urls.urls, QList<QUrl>{QUrl::fromLocalFile(page)});
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QVERIFY(m_env->messages.shown()[0].text.find("not installed") != std::string::npos);
    }

    void aLauncherThatFailsSaysWhatFailedAndWhatToDo()
    {
        // The desktop's own opener this time, run for real from a PATH of our making.
        const launch::Launcher caught = launch::SetLauncher({});
        TempDir bin;
        const QString opener = QString::fromStdString(bin.path() + "/xdg-open");
        const zlv::test::ScopedEnv path("PATH", bin.path());
        // Runs `command` with an opener ending with `exitStatus` (none below 0) and returns
        // the message it brought, if any.
        const auto run = [&](int exitStatus, const std::function<void()>& command) {
            QFile script(opener);
            script.remove();
            if (exitStatus >= 0 && script.open(QIODevice::WriteOnly)) {
                script.write("#!/bin/sh\necho \"$1\" > \"$0.log\"\nexit " +
                             QByteArray::number(exitStatus) + '\n');
                script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
                script.close();
            }
            const std::size_t before = m_env->messages.shown().size();
            // Each run of the opener is the application's child until it has been judged.
            const qsizetype runs = qApp->children().size();
            command();
            if (!QTest::qWaitFor([&] { return qApp->children().size() == runs; }, 10000)) {
                return std::string("(the opener's run never ended)");
            }
            return m_env->messages.shown().size() > before ? m_env->messages.shown().back().text
                                                           : std::string();
        };
        const std::string logs = m_window->dataFolder().logsFolder();
        const auto manage = [&] { m_window->manageLogFiles(); };
        const std::string missing = run(-1, manage);
        QVERIFY2(missing.find("could not show the folder \"" + logs + "\"") != std::string::npos &&
                     missing.find("xdg-utils") != std::string::npos,
                 missing.c_str());
        const std::string none = run(3, manage);
        QVERIFY(none.find("no program is set to open it.\r\n\r\nInstall a file manager") !=
                std::string::npos);
        QCOMPARE(run(0, manage), std::string()); // success is silent
        launch::SetLauncher(caught);
        QCOMPARE(zlv::test::ReadAll(opener.toStdString() + ".log"), logs + '\n');
    }

    void findFiltersEachListAndTheCountSaysSo()
    {
        for (const char* name : {"alpha.txt", "beta.txt", "Alphabet"}) {
            m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{name, std::string("/h/") + name});
        }
        QTRY_COMPARE(m_window->lsvToday()->rowCount(), 3);
        QLabel* count = m_window->statusBarPanels()->panel(0);
        auto* find = m_window->findChild<QLineEdit*>(QStringLiteral("txtFind"));
        m_window->findChild<QAction*>(QStringLiteral("menlf"))->trigger();
        QTest::keyClicks(find, QStringLiteral("ALPHA"));
        QCOMPARE(count->text(), QStringLiteral(" Rows: 2 of 3 "));
        m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{"alpha2", "/h/alpha2"});
        QTRY_COMPARE(count->text(), QStringLiteral(" Rows: 3 of 4 "));

        // History has a search of its own; Esc clears the one of Today.
        QTest::keyClick(m_window.get(), Qt::Key_H, Qt::ControlModifier);
        QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optHis"))->isChecked());
        QCOMPARE(find->text(), QString());
        QCOMPARE(count->text(), QStringLiteral(" Rows: 0 "));
        QTest::keyClick(m_window.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(m_window->lsvToday()->isVisible());
        QCOMPARE(find->text(), QStringLiteral("ALPHA"));
        QTest::keyClick(find, Qt::Key_Escape);
        QCOMPARE(count->text(), QStringLiteral(" Rows: 4 "));
    }

    void openContainingFolderShowsTheEntryOrItsFolder()
    {
        TempDir dir;
        const QString folder = QString::fromStdString(dir.path()) + QStringLiteral("/sub dir");
        QDir().mkpath(folder);
        QFile(folder + QStringLiteral("/b.txt")).open(QIODevice::WriteOnly);
        QList<QUrl> shown, opened;
        bool busAnswers = true;
        SetFolderOpeners({[&](const QUrl& u) { return shown << u, busAnswers; },
                          [&](const QUrl& u) { return opened << u, true; }});
        const std::string from = folder.toStdString() + "/";
        m_env->source->deliver(shell::SHCNE_RENAMEITEM, ShellItem{"a.txt", from + "a.txt"},
                               ShellItem{"b.txt", from + "b.txt"});
        QTRY_COMPARE(m_window->lsvToday()->rowCount(), 1);
        QAction* open = m_window->findChild<QAction*>(QStringLiteral("menlo"));
        open->trigger(); // the new name, selected
        QCOMPARE(shown, QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/b.txt"))});
        busAnswers = false; // no file manager on the bus: the folder through the opener
        open->trigger();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
        m_env->source->deliver(shell::SHCNE_DELETE, ShellItem{"b.txt", from + "b.txt"});
        QTRY_COMPARE(m_window->lsvToday()->rowCount(), 2);
        busAnswers = true;
        m_window->lsvToday()->setCurrentIndex(m_window->lsvToday()->model()->index(0, 0));
        open->trigger(); // a deletion: its folder only
        QCOMPARE(shown.size(), 2);
        QCOMPARE(opened.size(), 2);

        QDir(folder).removeRecursively();
        open->trigger();
        QCOMPARE(shown.size() + opened.size(), 4);
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QCOMPARE(m_env->messages.shown()[0].title, std::string("Zelvory"));
        SetFolderOpeners({});
    }

    void theVersionPanelAndTheRightButtonOpenTheirs()
    {
        QString title;
        zlv::test::WithModal(
            [this] { QTest::mouseClick(m_window->statusBarPanels()->panel(3), Qt::LeftButton); },
            [&](QWidget& modal) { title = modal.windowTitle(); });
        QCOMPARE(title, QStringLiteral("About Zelvory"));

        // The other panels do nothing; the right button pops up the Logs menu.
        QTest::mouseClick(m_window->statusBarPanels()->panel(0), Qt::LeftButton);
        QVERIFY(!QApplication::activeModalWidget());
        QTest::mouseRelease(m_window->lsvToday()->viewport(), Qt::RightButton, {}, QPoint(30, 60));
        QTRY_VERIFY(m_window->findChild<QMenu*>(QStringLiteral("menl"))->isVisible());
    }

    void theSessionItemWritesAndRemovesTheAutostartEntry()
    {
        TempDir config;
        const zlv::test::ScopedEnv configHome("XDG_CONFIG_HOME", config.path());
        const std::string entry = config / "autostart/zelvory.desktop";
        QAction* item = m_window->findChild<QAction*>(QStringLiteral("mentss"));
        auto* tools = m_window->findChild<QMenu*>(QStringLiteral("ment"));
        Q_EMIT tools->aboutToShow(); // the window was built with the user's own folders
        for (bool on : {true, false}) {
            item->trigger();
            QCOMPARE(item->isChecked(), on);
            // This test program is what runs, and no bare name on PATH finds it.
            const std::string exec =
                "\nExec=" + QCoreApplication::applicationFilePath().toStdString() + " --tray\n";
            QCOMPARE(zlv::test::ReadAll(entry).find(exec) != std::string::npos, on);
        }
        // Made elsewhere, or impossible to make: the mark tells what is on disk.
        zlv::test::WriteAll(entry, "[Desktop Entry]\n");
        Q_EMIT tools->aboutToShow();
        QVERIFY(item->isChecked());
        configHome.set(entry);
        item->trigger();
        item->trigger();
        QVERIFY(!item->isChecked());
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
