#pragma once

#include "capture/NotificationSource.h"
#include "capture/frmPubHide.h"
#include "logstore/DataFolder.h"
#include "mainwindow/WindowActivation.h"
#include "utility/Twips.h"

#include <QDate>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QTimer;

namespace zlv {

class DesktopNotifier;
class HealthNotice;
class LogListView;
class StatusBar;
class TrayIcon;
class VersionChecker;

// The main window: starts the program, shows the Today and History views, keeps the
// status bar current and asks before the program stops.
class frmPubMain final : public QMainWindow
{
    Q_OBJECT
public:
    struct Options
    {
        // Where the data folder goes; empty means the user's application-data folder.
        std::string appData;
        // Makes the platform's notification source; none means no capture (tests).
        std::function<std::unique_ptr<NotificationSource>(const DataFolder&)> makeSource;
        // Overrides whether the desktop has a notification area (tests).
        std::optional<bool> trayAvailable;
        // Delay of the one background version check; 0 turns it off.
        int versionCheckDelayMs = 60000;
        // Where the version file is fetched from; empty means the maker's server.
        QString versionUrl;
        // Keep the run's state and held records beside the lock and note each start and end
        // of recording (the one instance that holds the lock; tests leave it off).
        bool keepRunState = false;
        // Takes the one-instance lock again once the data folder had to be made again;
        // false when another instance has it now, and so the journal.
        std::function<bool()> lockAgain = nullptr;
    };

    explicit frmPubMain(Options options);
    ~frmPubMain() override;

    const DataFolder& dataFolder() const { return m_folder; }
    LogListView* lsvToday() const { return m_today; }
    LogListView* lsvHistory() const { return m_history; }
    LogListView* visibleList() const;
    frmPubHide* capture() const { return m_hide.get(); }
    TrayIcon* trayIcon() const { return m_tray; }
    StatusBar* statusBarPanels() const { return m_stb; }
    HealthNotice* healthNotice() const { return m_health; }
    QPushButton* progressBanner() const { return m_cmbProgress; }

    // Commands of the menus, the toolbar and the keys.
    void showTodayView();
    void showHistoryView();
    void manageLogFiles();
    void showDetailView();
    void showOptions();
    void showAbout();
    void checkLatestVersion();
    void mapNetworkDrive();
    void disconnectNetworkDrive();

    // The range check, as a change of either picker runs it.
    void runRangeCheck();

    // The session is ending and lets us ask: the close question, once. False to refuse.
    bool confirmSessionEnd();
    // The orderly end that Yes to the close question starts, without the question: what a
    // termination or hang-up signal asks for. Dialogs still open are closed.
    void endWithoutAsking();

    // Brings lsvToday in line with today's day file (what a recorded operation triggers).
    void rebuildToday();

    // Out of the notification area or the taskbar, in front (a second launch, a chosen
    // notification).
    void bringForward(const LaunchTokens& tokens);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void styleBanner();
    void startUp();
    void placeWindow();
    void layoutLists();
    void refreshRowCount();
    // Shows `list` (Today or History) in place of the other.
    void showList(LogListView* list);
    void shutDown();
    bool confirmClose();
    // Says why `picker`'s date is refused, once for each pick.
    void refuseDate(QDateEdit* picker, const char* message);
    void scheduleTodayRebuild();
    // Hidden in the notification area, where nothing of the list can be seen.
    bool inTray() const;
    void refreshTodayGaps();
    void dataFolderRemade();
    Date today() const;

    Options m_options;
    DataFolder m_folder;
    std::unique_ptr<frmPubHide> m_hide;

    QWidget* m_client = nullptr;
    QRadioButton* m_optTod = nullptr;
    QRadioButton* m_optHis = nullptr;
    QLabel* m_lblFrom = nullptr;
    QLabel* m_lblTo = nullptr;
    QDateEdit* m_dtpF = nullptr;
    QDateEdit* m_dtpT = nullptr;
    LogListView* m_today = nullptr;
    LogListView* m_history = nullptr;
    StatusBar* m_stb = nullptr;
    QPushButton* m_cmbProgress = nullptr;
    TrayIcon* m_tray = nullptr;
    VersionChecker* m_versionChecker = nullptr;
    HealthNotice* m_health = nullptr;
    DesktopNotifier* m_notifier = nullptr;
    struct RefusedDate
    {
        QDateEdit* picker = nullptr;
        QDate date;
    };
    RefusedDate m_refused; // the pick the range check has just put right
    TwipScale m_scale;     // how far the form font took the design
    QSize m_listSize;
    static constexpr qint64 kTodayRefreshMs = 200;
    QTimer m_todayTimer;        // the Today rebuild that waits for records close together
    QElapsedTimer m_sinceToday; // since the last Today rebuild
    bool m_todayBehind = false; // records arrived while in the tray; read when shown
    QTimer m_heartbeat;         // keeps the run state's "complete up to" current while quiet
    bool m_shutDown = false;
    bool m_closeConfirmed = false;  // Yes was answered (at logout) for the close to come
    bool m_closeAfterCheck = false; // a close waits for the version check to end
};

} // namespace zlv
