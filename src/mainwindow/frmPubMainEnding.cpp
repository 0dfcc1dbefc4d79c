// How the main window ends when nobody can be asked, and what it does when its data
// folder has to be made again under it.
#include "mainwindow/frmPubMain.h"
#include "settings/Settings.h"

#include <QCoreApplication>

namespace zlv {

void frmPubMain::endWithoutAsking()
{
    if (m_shutDown) {
        return;
    }
    m_closeConfirmed = true;
    shutDown();
    // Every event loop ends, a dialog's too: nothing waits for an answer now.
    QCoreApplication::exit(0);
}

void frmPubMain::dataFolderRemade()
{
    // The settings went with the folder; the ones in memory are the user's.
    WriteProgramSettings(m_folder.configurationFile());
    if (!m_hide || m_shutDown) {
        return;
    }
    if (m_options.lockAgain && !m_options.lockAgain()) {
        // Another instance started on the folder made anew and records into it: two
        // recording the same journal would write every operation twice.
        m_hide->unload();
        m_hide->reportIncident({.reason = GapReason::CaptureStopped,
                                .sentence = "Another Zelvory started on this journal while its "
                                            "data folder was away; this one stopped recording, "
                                            "so that nothing is recorded twice.",
                                .ongoing = true,
                                .isGap = false});
        return;
    }
    m_hide->dataFolderRemade();
}

} // namespace zlv
