// A newcomer's first hour in the window.
#include "capture/ShellEvents.h"
#include "logstore/LogLines.h"
#include "logstore/LogListView.h"
#include "mainwindow/QtMessageBox.h"
#include "mainwindow/VersionRule.h"
#include "mainwindow/frmPubMain.h"
#include "support/Modal.h"
#include "support/OpenedUrls.h"
#include "support/TestWindow.h"
#include "support/VersionServer.h"

#include <QCalendarWidget>
#include <QDateEdit>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

using namespace zlv;

class FirstHourTest : public QObject
{
    Q_OBJECT

    std::optional<zlv::test::WindowTestState> m_env;
    zlv::test::OpenedUrls m_urls;

private Q_SLOTS:
    void init()
    {
        m_env.emplace();
        m_urls.urls.clear();
    }
    void cleanup() { m_env.reset(); }

    void anEmptyDaySaysWhatIsRecordedAndWhereTheJournalLives()
    {
        auto w = m_env->window();
        auto* notice = w->findChild<QWidget*>(QStringLiteral("fraFirstStart"));
        QVERIFY(notice && notice->isVisible());
        const QString logs = QString::fromStdString(w->dataFolder().logsFolder());
        const QString text = w->findChild<QLabel*>(QStringLiteral("lblFirstStart"))->text();
        for (const QString& part : {logs, QDir::homePath(), QStringLiteral("hidden folders"),
                                    QStringLiteral("excluded from recording")}) {
            QVERIFY2(text.contains(part), qPrintable(part));
        }

        // The list under it still answers as an empty list does.
        QTest::mouseDClick(notice, Qt::LeftButton);
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QCOMPARE(m_env->messages.shown()[0].text, std::string("No available data for display."));

        QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("cmbOpenJournal")),
                          Qt::LeftButton);
        QCOMPARE(m_urls.urls, QList<QUrl>{QUrl::fromLocalFile(logs)});

        QString named; // and the About box names the data folder
        test::WithModal(
            [&] { w->showAbout(); },
            [&](QWidget& about) {
                named = about.findChild<QLineEdit*>(QStringLiteral("txtDataFolder"))->text();
            });
        QCOMPARE(named.toStdString(), w->dataFolder().dataFolder());

        m_env->source->deliver(shell::SHCNE_CREATE, ShellItem{"a.txt", "/home/u/a.txt"});
        QTRY_VERIFY(!notice->isVisible());
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
    }

    void aDeepPathLeavesBothNamesOnScreenAndTheUsersWidthsStay()
    {
        DataFolder folder;
        folder.establish(m_env->appData.path());
        std::string deep = "/home/u/Documents/Clients";
        for (int i = 0; i < 30; ++i) {
            deep += "/Project " + std::to_string(i);
        }
        deep += "/Signed/";
        folder.append(Date{2024, 3, 5},
                      test::RecordLine(test::Stamp(9, 0, 0), "File", "Renamed", deep,
                                       "contract.odt", "contract signed.odt"));
        auto w = m_env->window();
        w->resize(760, 480);
        LogListView* list = w->lsvToday();
        QHeaderView* header = list->header();
        QTRY_COMPARE(list->viewport()->width(), header->length());
        const auto onScreen = [&](int column) {
            return header->sectionViewportPosition(column) + header->sectionSize(column) <=
                   list->viewport()->width();
        };
        QVERIFY(onScreen(4) && onScreen(5));

        // The whole path in the cut cell's tooltip.
        const QRect cell = list->visualRect(list->model()->index(0, 3));
        QHelpEvent tip(QEvent::ToolTip, cell.center(),
                       list->viewport()->mapToGlobal(cell.center()));
        QApplication::sendEvent(list->viewport(), &tip);
        QTRY_VERIFY(QToolTip::isVisible());
        QVERIFY(QToolTip::text().contains(QString::fromStdString(deep)));
        QToolTip::hideText();

        // A width the user drags stays through a resize.
        QWidget* handles = header->viewport();
        const int edge = header->sectionViewportPosition(1) + header->sectionSize(1);
        const int y = handles->height() / 2;
        QTest::mousePress(handles, Qt::LeftButton, {}, QPoint(edge - 1, y));
        QTest::mouseMove(handles, QPoint(edge + 40, y));
        QTest::mouseRelease(handles, Qt::LeftButton, {}, QPoint(edge + 40, y));
        const int chosen = header->sectionSize(1);
        QVERIFY2(chosen >= 70, qPrintable(QString::number(chosen)));
        w->resize(700, 480);
        QTRY_COMPARE(list->viewport()->width(), header->length());
        QCOMPARE(header->sectionSize(1), chosen);
        QVERIFY(onScreen(4));
    }

    void theCalendarsPathToTodaySaysOnce()
    {
        auto w = m_env->window();
        w->showHistoryView();
        auto* dtpT = w->findChild<QDateEdit*>(QStringLiteral("dtpT"));
        QTest::keyClick(dtpT, Qt::Key_F4);
        auto* days = dtpT->calendarWidget()->findChild<QTableView*>();
        // Today, the 5th, in the month's first weeks (row 0 names the days of the week).
        const QAbstractItemModel* month = days->model();
        QModelIndex today;
        for (int i = 0; !today.isValid() && i < 2 * month->columnCount(); ++i) {
            const QModelIndex at =
                month->index(1 + i / month->columnCount(), i % month->columnCount());
            today = at.data().toString() == QLatin1String("5") ? at : today;
        }
        QTest::mouseClick(days->viewport(), Qt::LeftButton, {}, days->visualRect(today).center());
        QTest::qWait(20);
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QCOMPARE(m_env->messages.shown()[0].text,
                 std::string("The end date cannot be later than yesterday."));
        QCOMPARE(dtpT->date(), QDate(2024, 3, 4));
        dtpT->setDate(QDate(2024, 3, 5)); // a pick of its own: said again
        QCOMPARE(m_env->messages.shown().size(), std::size_t(2));
    }

    void aFailedCheckNobodyAskedForIsOnlyAWordInTheStatusBar()
    {
        test::VersionServer server;
        server.status = "404 Not Found";
        frmPubMain w({m_env->appData.path(), {}, false, 1, server.url()});
        w.show();
        auto* quiet = w.findChild<QToolButton*>(QStringLiteral("stbQuiet"));
        QTRY_VERIFY(quiet->isVisible());
        QCOMPARE(quiet->text(), QString::fromStdString(version::QuietNoConnectionText()));
        QVERIFY(m_env->messages.shown().empty());
        // Asked for, the whole story, and the word goes.
        QTest::mouseClick(quiet, Qt::LeftButton);
        QCOMPARE(m_env->messages.shown().size(), std::size_t(1));
        QCOMPARE(m_env->messages.shown()[0].text, version::NoConnectionText());
        QVERIFY(!quiet->isVisible());
    }

    void aMessageRaisedFromADialogBelongsToIt()
    {
        const MessageBox::Handler scripted = MessageBox::setHandler({});
        InstallQtMessageBoxHandler();
        QWidget main;
        SetMessageBoxOwner(&main);
        QDialog options(&main); // as "Save successfully!" comes from the Options dialog
        QWidget* owner = nullptr;
        test::WithModal([&] { options.exec(); },
                        [&](QWidget&) {
                            test::WithModal(
                                [] { MessageBox::show("Saved.", MessageBox::Icon::Information); },
                                [&](QWidget& box) { owner = box.parentWidget(); });
                        });
        MessageBox::setHandler(scripted);
        QCOMPARE(owner, &options);
    }
};

QTEST_MAIN(FirstHourTest)
#include "FirstHourTest.moc"
