#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/DesktopWords.h"
#include "mainwindow/HealthNotice.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"
#include "support/TestWindow.h"
#include "support/VersionServer.h"
#include "utility/FileSystem.h"
#include "utility/ProductVersion.h"

#include <QAction>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

using namespace zlv;
using zlv::test::FakeSource;
using Answer = zlv::MessageBox::Answer;

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    std::optional<test::WindowTestState> m_env;

    std::string todayFile(const frmPubMain& w) const
    {
        return w.dataFolder().dayFilePath(m_env->clock.now().date);
    }

    static QString panel(const frmPubMain& w, int i)
    {
        return w.statusBarPanels()->panel(i)->text();
    }

private Q_SLOTS:
    void init() { m_env.emplace(); }
    void cleanup() { m_env.reset(); }

    void startUpWritesDefaultsBeforeLoadingTodayAndShowsTheTodayView()
    {
        // Today's file exists before the first start; its rows must already be rendered
        // with the default format, which only exists once the defaults are written.
        DataFolder folder;
        folder.establish(m_env->appData.path());
        folder.append(Date{2024, 3, 5},
                      "2024-03-05 09:15:00\tFile\tCreated\t/home/u/\ta.txt\t\r\n");

        auto w = m_env->window();
        QCOMPARE(w->lsvToday()->rowCount(), 1); // rendered with the defaults just written
        QCOMPARE(w->lsvToday()->model()->index(0, 0).data().toString(),
                 QStringLiteral("Mar 05 2024 09:15:00"));
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 1 "));
        QCOMPARE(panel(*w, 3),
                 QStringLiteral(" Version %1 (Build %2) ")
                     .arg(QLatin1String(kProgramVersion), QLatin1String(kBuildNumber)));
        // Date and time come from the program's clock, the time to the minute only.
        QCOMPARE(panel(*w, 1).trimmed(),
                 QLocale().toString(QDate(2024, 3, 5), QLocale::ShortFormat));
        QVERIFY2(panel(*w, 2).contains(QStringLiteral("07")) &&
                     !panel(*w, 2).contains(QStringLiteral("09")),
                 qPrintable(panel(*w, 2)));

        QVERIFY(w->findChild<QRadioButton*>(QStringLiteral("optTod"))->isChecked());
        for (const char* name : {"dtpF", "dtpT"}) {
            auto* picker = w->findChild<QDateEdit*>(QString::fromLatin1(name));
            QCOMPARE(picker->date(), QDate(2024, 3, 4));
            QVERIFY2(!picker->isEnabled(), name);
        }
        QVERIFY(w->lsvToday()->isVisible() && !w->lsvHistory()->isVisible());
        QVERIFY(m_env->messages.shown().empty());
    }

    void theRangeCheckCorrectsTheEndDateFirstThenTheStartDate()
    {
        DataFolder folder;
        folder.establish(m_env->appData.path());
        for (int day : {3, 4}) {
            folder.append(Date{2024, 3, day}, "2024-03-0" + std::to_string(day) +
                                                  " 10:00:00\tFile\tDeleted\t/x/\told\t\r\n");
        }
        auto w = m_env->window();
        auto* optHis = w->findChild<QRadioButton*>(QStringLiteral("optHis"));
        auto* dtpF = w->findChild<QDateEdit*>(QStringLiteral("dtpF"));
        auto* dtpT = w->findChild<QDateEdit*>(QStringLiteral("dtpT"));

        QTest::mouseClick(optHis, Qt::LeftButton);
        QVERIFY(dtpF->isEnabled() && dtpT->isEnabled());
        QVERIFY(w->lsvHistory()->isVisible());
        QCOMPARE(w->lsvHistory()->rowCount(), 1); // yesterday only
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 1 "));
        QVERIFY(m_env->messages.shown().empty());

        dtpT->setDate(QDate(2024, 3, 6));
        QCOMPARE(m_env->messages.texts(),
                 std::vector<std::string>{"The end date cannot be later than yesterday."});
        QCOMPARE(m_env->messages.shown()[0].icon, MessageBox::Icon::Information);
        QCOMPARE(dtpT->date(), QDate(2024, 3, 4));
        QCOMPARE(w->lsvHistory()->rowCount(), 1);

        m_env->messages.clear();
        dtpF->setDate(QDate(2024, 3, 8));
        QCOMPARE(m_env->messages.texts(),
                 std::vector<std::string>{"The start date cannot be later than the end date."});
        QCOMPARE(dtpF->date(), QDate(2024, 3, 4));
        QCOMPARE(w->lsvHistory()->rowCount(), 1);

        m_env->messages.clear();
        dtpF->setDate(QDate(2024, 3, 3));
        QVERIFY(m_env->messages.shown().empty());
        QCOMPARE(w->lsvHistory()->rowCount(), 2);
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 2 "));
    }

    // A record after a pause is shown at once; records close behind it are shown together,
    // and the list is then what a fresh load of the day shows, colours and count included.
    void switchingViewsKeepsTheTodayListAndCountsTheVisibleOne()
    {
        auto w = m_env->window();
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 ")); // no day file yet
        m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{"a.txt", "/home/u/a.txt"});
        m_env->clock.advanceSeconds(1);
        m_env->source->deliver(shell::SHCNE_RENAMEITEM, ShellItem{"a.txt", "/home/u/a.txt"},
                               ShellItem{"b.txt", "/home/u/b.txt"});
        m_env->source->deliver(shell::SHCNE_UPDATEDIR, ShellItem{"u", "/home/u"}); // dropped
        QTRY_COMPARE(w->lsvToday()->rowCount(), 2);
        // Newest on top with the default format.
        QCOMPARE(w->lsvToday()->model()->index(0, 5).data().toString(), QStringLiteral("b.txt"));
        w->showHistoryView();
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 "));

        // A record in the History view updates the Today list behind it; the History view
        // stays on screen.
        m_env->clock.advanceSeconds(10);
        m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{"c", "/h/c"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 3);
        QVERIFY(w->lsvHistory()->isVisible());
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 "));

        // Going back shows Today as it is, without reading the file again: a line added
        // behind the program's back is not picked up by the switch.
        fs::AppendWhole(todayFile(*w), "2024-03-05 15:00:00\tFile\tCreated\t/h/\tsneaky\t\r\n");
        QTest::keyClick(w.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(w->lsvToday()->isVisible());
        QCOMPARE(w->lsvToday()->rowCount(), 3);
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 3 "));
    }

    void everyCloseAsksAndOnlyYesEnds()
    {
        auto w = m_env->window();
        auto* exitItem = w->findChild<QAction*>(QStringLiteral("menlx"));

        m_env->messages.answerNext(Answer::No);
        QVERIFY(!w->close());
        m_env->messages.answerNext(Answer::Cancel);
        exitItem->trigger();
        QVERIFY(w->isVisible() && w->capture()->isLoaded());
        QCOMPARE(m_env->messages.shown().size(), std::size_t(2));
        const auto& ask = m_env->messages.shown()[0];
        QCOMPARE(ask.text, std::string(words::For().closeQuestion));
        QCOMPARE(ask.icon, MessageBox::Icon::Question);
        QCOMPARE(ask.buttons, MessageBox::Buttons::YesNoCancel);
        QCOMPARE(ask.defaultButton, Answer::Yes);
        QCOMPARE(ask.title, std::string("Zelvory"));

        m_env->messages.answerNext(Answer::Yes);
        exitItem->trigger();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->capture()->isLoaded());
    }

    void listsFollowTheWindowButKeepTheirSizeBelowTheMargins()
    {
        auto w = m_env->window();
        w->resize(800, 500);
        // The margin to the right edge is the one to the left edge.
        QTRY_COMPARE(w->lsvToday()->width(), w->centralWidget()->width() - 2 * w->lsvToday()->x());
        const QSize before = w->lsvToday()->size();
        QCOMPARE(w->lsvHistory()->size(), before);
        w->centralWidget()->resize(5, 5); // narrower and lower than the lists' corner
        QCOMPARE(w->lsvToday()->size(), before);
        w->resize(900, 600);
        QTRY_VERIFY(w->lsvToday()->width() > before.width());
    }

    void withoutANotificationAreaMinimisingStaysOnTheTaskbar()
    {
        auto w = m_env->window(false);
        w->showMinimized();
        QTest::qWait(50);
        QVERIFY(!w->trayIcon()->isShown() && w->isVisible());
    }

    void captureIncidentsShowWhereTheUserLooksAndAskOncePerReason()
    {
        auto w = m_env->window(true);
        auto* warning = w->healthNotice()->warning();
        QTest::qWait(20); // the status bar's first layout
        const QRect versionPanel = w->statusBarPanels()->panel(3)->geometry();
        const CaptureIncident limit{.reason = GapReason::WatchLimit,
                                    .sentence = "12 folders are not watched.",
                                    .ongoing = true,
                                    .needsAction = true};
        w->capture()->reportIncident(limit);
        QVERIFY(m_env->messages.shown().empty()); // never from inside capture
        QTRY_COMPARE(m_env->messages.shown().size(), std::size_t(1));
        QVERIFY(m_env->messages.shown()[0].text.starts_with(limit.sentence));
        QCOMPARE(m_env->messages.shown()[0].buttons, MessageBox::Buttons::Ok);
        QVERIFY(warning->isVisible());
        QCOMPARE(w->statusBarPanels()->panel(3)->geometry(), versionPanel);
        QVERIFY2(warning->toolTip().contains(QStringLiteral("12 folders are not watched.\nSince "
                                                            "Mar 05 2024 14:07:09.")),
                 qPrintable(warning->toolTip()));
        QVERIFY(
            w->trayIcon()->toolTip().startsWith(QStringLiteral("Zelvory\nRecording incomplete")));

        // The same reason again, and a one-off gap: no more boxes, the figures in the tooltip
        // and a marker in the Today list (drawn on screen, never a row).
        m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{"a", "/h/a"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 1);
        m_env->clock.advanceSeconds(5);
        w->capture()->reportIncident(limit);
        w->capture()->reportIncident({.sentence = "The event queue overflowed.", .missing = 3});
        QTRY_VERIFY(warning->toolTip().contains(QStringLiteral("Operations missing: 3.")));
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QCOMPARE(w->lsvToday()->rowCount(), 1); // the marker's colour and place: ThemeTest

        // Capture that cannot start at all is an incident too, told once the window shows.
        frmPubMain dead(
            {m_env->appData.path(),
             [](auto&) { return std::make_unique<FakeSource>("The system refused to watch."); },
             false,
             0,
             {}});
        QTest::qWait(20);
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        dead.show();
        QTRY_COMPARE(m_env->messages.shown().size(), std::size_t(2));
        QVERIFY(m_env->messages.shown()[1].text.starts_with("The system refused to watch."));
        QVERIFY(dead.healthNotice()->warning()->isVisible());
        const std::string text =
            test::ReadAll(dead.dataFolder().gapFilePath(m_env->clock.now().date));
        QCOMPARE(text.find("capture-stopped"), text.rfind("capture-stopped")); // told once
        QVERIFY(text.find("capture-stopped") != std::string::npos);
    }

    void aCloseWaitsForTheVersionCheckAndALogoutAsksOnce()
    {
        test::VersionServer server;
        auto w = test::MakeTestWindow(m_env->appData.path(), m_env->source, false, server.url());
        std::size_t askedDuringFetch = 99;
        server.onRequest = [&] {
            w->close();
            askedDuringFetch = m_env->messages.shown().size();
        };
        m_env->messages.answerNext(Answer::Ok);
        m_env->messages.answerNext(Answer::No);
        w->checkLatestVersion();
        QCOMPARE(askedDuringFetch, std::size_t(0));
        QTRY_COMPARE(m_env->messages.shown().size(), std::size_t(2));
        QCOMPARE(m_env->messages.texts()[0],
                 std::string("No available new version for upgrading."));
        QVERIFY(m_env->messages.texts()[1].starts_with("Are you sure"));
        QVERIFY(w->isVisible());

        // Yes at logout, even while a check waits: one question, no answer of the check after.
        m_env->messages.clear();
        server.onRequest = [&] { askedDuringFetch = w->confirmSessionEnd(); };
        m_env->messages.answerNext(Answer::Yes);
        w->checkLatestVersion();
        QTRY_VERIFY(!w->isVisible());
        QTest::qWait(50);
        QCOMPARE(askedDuringFetch, std::size_t(1));
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QVERIFY(!w->capture()->isLoaded());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
