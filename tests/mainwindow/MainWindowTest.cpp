#include "capture/ShellEvents.h"
#include "logstore/LogListView.h"
#include "mainwindow/StatusBar.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"
#include "support/ScriptedMessages.h"
#include "support/TempDir.h"
#include "support/TestWindow.h"
#include "utility/SystemUtility.h"

#include <QAction>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <fstream>

using namespace zlv;
using zlv::test::FakeSource;
using zlv::test::ScriptedMessages;
using zlv::test::TempDir;
using Answer = zlv::MessageBox::Answer;

namespace {

void AppendLine(const std::string& path, const std::string& line)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << line << "\r\n";
}

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TempDir> m_appData;
    std::unique_ptr<ManualClock> m_clock;
    FakeSource* m_source = nullptr;
    std::unique_ptr<ScriptedMessages> m_messages;

    std::unique_ptr<frmPubMain> makeWindow(std::optional<bool> tray = false)
    {
        return zlv::test::MakeTestWindow(m_appData->path(), m_source, tray);
    }

    std::string todayFile(const frmPubMain& w) const
    {
        return w.dataFolder().dayFilePath(m_clock->now().date);
    }

    static QString panel(const frmPubMain& w, int i)
    {
        return w.statusBarPanels()->panel(i)->text();
    }

private Q_SLOTS:
    void init()
    {
        m_appData = std::make_unique<TempDir>();
        m_clock = std::make_unique<ManualClock>(LocalDateTime{{2024, 3, 5}, 14, 7, 9});
        Clock::setInstance(m_clock.get());
        m_messages = std::make_unique<ScriptedMessages>();
    }
    void cleanup()
    {
        m_messages.reset();
        Clock::setInstance(nullptr);
        m_appData.reset();
    }

    void startUpWritesDefaultsBeforeLoadingTodayAndShowsTheTodayView()
    {
        // Today's file exists before the first start; its rows must already be rendered
        // with the default format, which only exists once the defaults are written.
        DataFolder folder;
        folder.establish(m_appData->path());
        folder.ensureMonthFolder(Date{2024, 3, 5});
        AppendLine(folder.dayFilePath(Date{2024, 3, 5}),
                   "2024-03-05 09:15:00\tFile\tCreated\t/home/u/\ta.txt\t");

        auto w = makeWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Zelvory"));
        QCOMPARE(SystemUtility::ReadSetting(w->dataFolder().configurationFile(), "DTF", "Sequence"),
                 std::string("Month Day Year"));
        QCOMPARE(SystemUtility::ReadSetting(w->dataFolder().configurationFile(), "DTF", "Time"),
                 std::string("HH:MM:SS"));
        QCOMPARE(w->lsvToday()->rowCount(), 1);
        QCOMPARE(w->lsvToday()->model()->index(0, 0).data().toString(),
                 QStringLiteral("Mar 05 2024 09:15:00"));
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 1 "));
        QCOMPARE(panel(*w, 3), QStringLiteral(" Version 2.0 (Build 015) "));
        // Date and time come from the program's clock, the time to the minute only.
        QCOMPARE(panel(*w, 1).trimmed(),
                 QLocale().toString(QDate(2024, 3, 5), QLocale::ShortFormat));
        QVERIFY2(panel(*w, 2).contains(QStringLiteral("07")) &&
                     !panel(*w, 2).contains(QStringLiteral("09")),
                 qPrintable(panel(*w, 2)));

        auto* optTod = w->findChild<QRadioButton*>(QStringLiteral("optTod"));
        auto* dtpF = w->findChild<QDateEdit*>(QStringLiteral("dtpF"));
        auto* dtpT = w->findChild<QDateEdit*>(QStringLiteral("dtpT"));
        QVERIFY(optTod->isChecked());
        QCOMPARE(dtpF->date(), QDate(2024, 3, 4));
        QCOMPARE(dtpT->date(), QDate(2024, 3, 4));
        QVERIFY(!dtpF->isEnabled() && !dtpT->isEnabled());
        QVERIFY(w->lsvToday()->isVisible());
        QVERIFY(!w->lsvHistory()->isVisible());
        QVERIFY(m_messages->shown().empty());
    }

    void recordedOperationsAppearInTheTodayListAndOnDisk()
    {
        auto w = makeWindow();
        QVERIFY(m_source);
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 ")); // no day file yet
        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"a.txt", "/home/u/a.txt"});
        m_clock->advanceSeconds(1);
        m_source->deliver(shell::SHCNE_RENAMEITEM, ShellItem{"a.txt", "/home/u/a.txt"},
                          ShellItem{"b.txt", "/home/u/b.txt"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 2);
        // Newest on top with the default format.
        QCOMPARE(w->lsvToday()->model()->index(0, 5).data().toString(), QStringLiteral("b.txt"));
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 2 "));
        // A dropped notification changes nothing.
        m_source->deliver(shell::SHCNE_UPDATEDIR, ShellItem{"u", "/home/u"});
        QTest::qWait(20);
        QCOMPARE(w->lsvToday()->rowCount(), 2);
    }

    void theRangeCheckCorrectsTheEndDateFirstThenTheStartDate()
    {
        DataFolder folder;
        folder.establish(m_appData->path());
        for (int day : {3, 4}) {
            folder.ensureMonthFolder(Date{2024, 3, day});
            AppendLine(folder.dayFilePath(Date{2024, 3, day}),
                       "2024-03-0" + std::to_string(day) + " 10:00:00\tFile\tDeleted\t/x/\told\t");
        }
        auto w = makeWindow();
        auto* optHis = w->findChild<QRadioButton*>(QStringLiteral("optHis"));
        auto* dtpF = w->findChild<QDateEdit*>(QStringLiteral("dtpF"));
        auto* dtpT = w->findChild<QDateEdit*>(QStringLiteral("dtpT"));

        QTest::mouseClick(optHis, Qt::LeftButton);
        QVERIFY(dtpF->isEnabled() && dtpT->isEnabled());
        QVERIFY(w->lsvHistory()->isVisible());
        QCOMPARE(w->lsvHistory()->rowCount(), 1); // yesterday only
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 1 "));
        QVERIFY(m_messages->shown().empty());

        dtpT->setDate(QDate(2024, 3, 5)); // today
        QCOMPARE(m_messages->shown().size(), std::size_t(1));
        QCOMPARE(m_messages->shown()[0].text,
                 std::string("The end date cannot be later than yesterday."));
        QCOMPARE(m_messages->shown()[0].icon, MessageBox::Icon::Information);
        QCOMPARE(dtpT->date(), QDate(2024, 3, 4));
        QCOMPARE(w->lsvHistory()->rowCount(), 1);

        // Both rules broken at once: only the end date is reported and corrected.
        m_messages->clear();
        {
            const QSignalBlocker quiet(dtpF);
            dtpF->setDate(QDate(2024, 3, 9));
        }
        dtpT->setDate(QDate(2024, 3, 6));
        QCOMPARE(m_messages->shown().size(), std::size_t(1));
        QCOMPARE(m_messages->shown()[0].text,
                 std::string("The end date cannot be later than yesterday."));
        QCOMPARE(dtpT->date(), QDate(2024, 3, 4));
        QCOMPARE(dtpF->date(), QDate(2024, 3, 9));

        m_messages->clear();
        dtpF->setDate(QDate(2024, 3, 8));
        QCOMPARE(m_messages->shown().size(), std::size_t(1));
        QCOMPARE(m_messages->shown()[0].text,
                 std::string("The start date cannot be later than the end date."));
        QCOMPARE(dtpF->date(), QDate(2024, 3, 4));
        QCOMPARE(w->lsvHistory()->rowCount(), 1);

        m_messages->clear();
        dtpF->setDate(QDate(2024, 3, 3));
        QVERIFY(m_messages->shown().empty());
        QCOMPARE(w->lsvHistory()->rowCount(), 2);
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 2 "));
    }

    void switchingViewsKeepsTheTodayListAndCountsTheVisibleOne()
    {
        auto w = makeWindow();
        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"a", "/h/a"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 1);
        w->showHistoryView();
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 "));

        // A record in the History view updates the Today list behind it; the History view
        // stays on screen.
        m_clock->advanceSeconds(10);
        m_source->deliver(shell::SHCNE_CREATE, ShellItem{"b", "/h/b"});
        QTRY_COMPARE(w->lsvToday()->rowCount(), 2);
        QVERIFY(w->lsvHistory()->isVisible());
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 "));

        // Going back shows Today as it is, without reading the file again: a line added
        // behind the program's back is not picked up by the switch.
        AppendLine(todayFile(*w), "2024-03-05 15:00:00\tFile\tCreated\t/h/\tsneaky\t");
        QTest::keyClick(w.get(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(w->lsvToday()->isVisible());
        QCOMPARE(w->lsvToday()->rowCount(), 2);
        QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 2 "));
    }

    void everyCloseAsksAndOnlyYesEnds()
    {
        auto w = makeWindow();
        auto* exitItem = w->findChild<QAction*>(QStringLiteral("menlx"));
        QAction* exitButton = nullptr;
        for (QAction* a : w->findChild<QToolBar*>(QStringLiteral("Toolbar1"))->actions()) {
            if (a->text() == QLatin1String("Exit")) {
                exitButton = a;
            }
        }
        QVERIFY(exitItem && exitButton);

        m_messages->answerNext(Answer::No);
        QVERIFY(!w->close());
        m_messages->answerNext(Answer::Cancel);
        exitItem->trigger();
        m_messages->answerNext(Answer::No);
        exitButton->trigger();
        QVERIFY(w->isVisible());
        QVERIFY(w->capture()->isLoaded());
        QCOMPARE(m_messages->shown().size(), std::size_t(3));
        const auto& ask = m_messages->shown()[0];
        QCOMPARE(ask.text, std::string("Are you sure you want to stop tracing your operations in "
                                       "Windows Explorer?"));
        QCOMPARE(ask.icon, MessageBox::Icon::Question);
        QCOMPARE(ask.buttons, MessageBox::Buttons::YesNoCancel);
        QCOMPARE(ask.defaultButton, Answer::Yes);
        QCOMPARE(ask.title, std::string("Zelvory"));

        m_messages->answerNext(Answer::Yes);
        exitItem->trigger();
        QVERIFY(!w->isVisible());
        QVERIFY(!w->capture()->isLoaded());
    }

    void listsFollowTheWindowButKeepTheirSizeBelowTheMargins()
    {
        auto w = makeWindow();
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

    void minimisingGoesToTheTrayOnlyWhenThereIsOne()
    {
        {
            auto w = makeWindow(true);
            w->showHistoryView();
            w->showMinimized();
            QTRY_VERIFY(w->trayIcon()->isShown());
            QTRY_VERIFY(!w->isVisible());
            // Recording goes on in the tray; the chosen view and its count stay.
            m_source->deliver(shell::SHCNE_CREATE, ShellItem{"t", "/h/t"});
            QTRY_COMPARE(w->lsvToday()->rowCount(), 1);
            QCOMPARE(panel(*w, 0), QStringLiteral(" Rows: 0 "));
            w->trayIcon()->restoreWindow();
            QVERIFY(w->isVisible());
            QVERIFY(!w->isMinimized());
            QVERIFY(!w->trayIcon()->isShown());
            QVERIFY(w->lsvHistory()->isVisible());
        }
        auto w = makeWindow(false);
        w->showMinimized();
        QTest::qWait(50);
        QVERIFY(!w->trayIcon()->isShown());
        QVERIFY(w->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
