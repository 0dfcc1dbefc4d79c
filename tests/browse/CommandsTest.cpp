#include "browse/Commands.h"

#include "browse/frmPubDetail.h"
#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/frmPubMain.h"
#include "support/OpenedUrls.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"
#include "utility/WebPages.h"

#include <QAction>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolBar>

using namespace zlv;
using zlv::test::FakeSource;
using zlv::test::ScriptedMessages;
using zlv::test::TempDir;

class CommandsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_appData;
    std::unique_ptr<ScriptedMessages> m_messages;
    std::unique_ptr<frmPubMain> m_window;
    FakeSource* m_source = nullptr;
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
        route();
        QTest::qWait(30);
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
        };
    }

private Q_SLOTS:
    void init()
    {
        m_appData = std::make_unique<TempDir>();
        m_messages = std::make_unique<ScriptedMessages>();
        m_window = zlv::test::MakeTestWindow(m_appData->path(), m_source);
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->lsvToday()->setFocus();
        m_urls.urls.clear();
    }

    void cleanup()
    {
        m_window.reset();
        m_messages.reset();
    }

    void everyRouteToTheDetailViewBehavesAlike()
    {
        // An empty list: each route says so and opens nothing.
        for (const auto& [name, route] : detailRoutes()) {
            m_messages->clear();
            QVERIFY2(!opensDetailView(route) && m_messages->shown().size() == 1, name);
        }

        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"a", "/h/a"});
        QTRY_COMPARE(m_window->lsvToday()->rowCount(), 1);
        m_window->lsvToday()->setFocus();
        m_messages->clear();
        for (const auto& [name, route] : detailRoutes()) {
            QVERIFY2(opensDetailView(route), name);
        }
        QVERIFY(m_messages->shown().empty());

        // The History view's list is the one the commands then work on.
        m_window->showHistoryView();
        QVERIFY(!opensDetailView(
            [this] { m_window->findChild<QAction*>(QStringLiteral("menlv"))->trigger(); }));
        QCOMPARE(m_messages->shown().back().text, std::string("No available data for display."));
    }

    void toolbarButtonsDispatchByTheirExactCaptionAndPagesOpen()
    {
        QVERIFY(RunToolbarCommand(*m_window, QStringLiteral("Manage Log Files")));
        QVERIFY(RunToolbarCommand(*m_window, QStringLiteral("Homepage")));
        QTest::keyClick(m_window.get(), Qt::Key_F1);
        m_window->findChild<QAction*>(QStringLiteral("menhr"))->trigger();
        QCOMPARE(m_urls.urls.size(), 4);
        QCOMPARE(m_urls.urls[0].toLocalFile(),
                 QString::fromStdString(m_window->dataFolder().logsFolder()));
        const QString product = QString::fromStdString(web::ProductPage());
        QVERIFY(m_urls.urls[1].toString() == product && m_urls.urls[2].toString() == product);
        QCOMPARE(m_urls.urls[3].toString(), product + QStringLiteral("?selectedTab=recommend"));

        for (const char* other : {"exit", "Home page", "", "Detail View "}) {
            QVERIFY2(!RunToolbarCommand(*m_window, QString::fromLatin1(other)), other);
        }
        QVERIFY(m_messages->shown().empty());
        QCOMPARE(m_urls.urls.size(), 4);
    }

    void shortcutsSwitchViews()
    {
        QTest::keyClick(m_window.get(), Qt::Key_H, Qt::ControlModifier);
        QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optHis"))->isChecked());
        QVERIFY(m_window->lsvHistory()->isVisible());
        QTest::keyClick(m_window.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(m_window->findChild<QRadioButton*>(QStringLiteral("optTod"))->isChecked());
        QVERIFY(m_window->lsvToday()->isVisible());
    }

    void theSessionItemWritesAndRemovesTheAutostartEntry()
    {
        TempDir config;
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.path()));
        const std::string entry = config / "autostart/zelvory.desktop";
        QAction* item = m_window->findChild<QAction*>(QStringLiteral("mentss"));
        auto* tools = m_window->findChild<QMenu*>(QStringLiteral("ment"));
        Q_EMIT tools->aboutToShow(); // the window was built with the user's own folders
        for (bool on : {true, false}) {
            item->trigger();
            QCOMPARE(item->isChecked(), on);
            QCOMPARE(zlv::test::ReadAll(entry).find("\nExec=zelvory --tray\n") != std::string::npos,
                     on);
        }
        // Made elsewhere, or impossible to make: the mark tells what is on disk.
        zlv::test::WriteAll(entry, "[Desktop Entry]\n");
        Q_EMIT tools->aboutToShow();
        QVERIFY(item->isChecked());
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(entry));
        item->trigger();
        item->trigger();
        QVERIFY(!item->isChecked());
        qunsetenv("XDG_CONFIG_HOME");
    }

    void theVersionPanelOpensTheAboutBox()
    {
        bool opened = false;
        QTimer::singleShot(50, this, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->windowTitle() == QLatin1String("About Zelvory");
                modal->close();
            }
        });
        QLabel* version = m_window->statusBarPanels()->panel(3);
        QTest::mouseClick(version, Qt::LeftButton);
        QVERIFY(opened);

        // The other panels do nothing.
        QTest::mouseClick(m_window->statusBarPanels()->panel(0), Qt::LeftButton);
        QVERIFY(!QApplication::activeModalWidget());
    }

    void aRightButtonReleasePopsUpTheLogsMenu()
    {
        auto* logs = m_window->findChild<QMenu*>(QStringLiteral("menl"));
        QTest::mouseRelease(m_window->lsvToday()->viewport(), Qt::RightButton, {}, QPoint(30, 60));
        QTRY_VERIFY(logs->isVisible());
        logs->close();
    }
};

QTEST_MAIN(CommandsTest)
#include "CommandsTest.moc"
