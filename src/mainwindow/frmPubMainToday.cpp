// How the Today list follows the records being written: together when they come close,
// not at all while nobody can see it.
#include "logstore/GapMarks.h"
#include "logstore/LogListView.h"
#include "mainwindow/TrayIcon.h"
#include "mainwindow/frmPubMain.h"

#include <algorithm>

namespace zlv {

bool frmPubMain::inTray() const
{
    return isHidden() && m_tray && m_tray->isShown();
}

void frmPubMain::scheduleTodayRebuild()
{
    // In the notification area the list is not looked at, often for the whole day: its
    // rows are read once, when the window comes back, at the cost of one read of what was
    // appended meanwhile; the list then looks as if it had followed every record.
    if (inTray()) {
        m_todayBehind = true;
        return;
    }
    // A record after a pause is shown at once. Records that follow one another closely are
    // shown together, a fifth of a second apart: nobody reads rows arriving faster than
    // that, and the list's layout and painting are then paid once for all of them. Every
    // record is on disk already; only its row waits, and the list looks exactly as if it
    // had been rebuilt after each of them.
    if (m_todayTimer.isActive()) {
        return;
    }
    const qint64 since = m_sinceToday.isValid() ? m_sinceToday.elapsed() : kTodayRefreshMs;
    m_todayTimer.start(
        static_cast<int>(std::clamp<qint64>(kTodayRefreshMs - since, 0, kTodayRefreshMs)));
}

void frmPubMain::rebuildToday()
{
    m_todayTimer.stop(); // whatever it waited for is read now
    m_todayBehind = false;
    m_sinceToday.start();
    // A record arriving in the History view updates the Today list behind it; the user
    // keeps looking at the range they chose, and its row count.
    m_today->rebuildToday(m_folder.dayFilePath(today()));
}

void frmPubMain::refreshTodayGaps()
{
    m_today->setGapStamps(gapmarks::CollectStamps(m_folder, today(), today()));
}

void frmPubMain::showEvent(QShowEvent* event)
{
    // Before the first paint, so the window never shows the rows of when it was hidden.
    if (m_todayBehind && m_hide) {
        rebuildToday();
    }
    QMainWindow::showEvent(event);
}

} // namespace zlv
