#pragma once

#include "capture/CaptureHealth.h"
#include "capture/NotificationSource.h"
#include "capture/RecordPipeline.h"
#include "capture/RecordingSession.h"

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace zlv {

// The capture form: owns the platform's notification source and the record pipeline.
// Loading starts capture; unloading stops it. After every notification that passed the
// keep and repeat tests, whether or not its line could be written yet, and after held
// lines were written, the owner's callback rebuilds the Today list.
class frmPubHide final
{
public:
    frmPubHide(const DataFolder& folder, std::unique_ptr<NotificationSource> source,
               const Clock& clock = Clock::instance());
    ~frmPubHide();
    frmPubHide(const frmPubHide&) = delete;
    frmPubHide& operator=(const frmPubHide&) = delete;

    bool load();
    // Stops capture: the source delivers what it still holds first, held lines are tried
    // once more, and with a run state kept, the end of recording is noted for the next start.
    void unload();
    bool isLoaded() const { return m_loaded; }

    // From the next load() on, this capture keeps the run's state beside the lock and a copy
    // of its held lines, and notes when recording starts and ends (RecordingSession). Only
    // the one instance that holds the lock may do so.
    void keepRunState();
    // Brings the state file up to date (the owner calls it now and then while all is quiet).
    void publishState();
    // The data folder had to be made again: the files kept in it are taken again there.
    void dataFolderRemade();

    // Called once for every notification, on the user-interface thread.
    void upsReceiveEvents(const Notification& notification);

    void setRecordedCallback(std::function<void()> callback) { m_recorded = std::move(callback); }

    // While lines are held because the journal cannot be written, they must be retried
    // without waiting for the next operation. The owner's scheduler is asked to call
    // retryHeld() after the given delay (it runs on the user-interface thread).
    static constexpr int kRetryDelayMs = 3000;
    void setRetryScheduler(std::function<void(int delayMs)> scheduler)
    {
        m_scheduleRetry = std::move(scheduler);
    }
    void retryHeld();
    void setHoldLimits(std::size_t records, std::size_t bytes)
    {
        m_pipeline.setHoldLimits(records, bytes);
    }

    // Takes an incident from the source or the pipeline: writes a gap line when it left a
    // hole, updates health() and tells the owner. The callback's flag is true when the user
    // should be asked to act (once per reason and run); it must not show anything modal
    // from inside the call, since a notification may be half handled.
    void reportIncident(const CaptureIncident& incident);
    void setHealthCallback(std::function<void(const CaptureIncident&, bool askUser)> callback)
    {
        m_healthChanged = std::move(callback);
    }
    // Told whenever records were held or written while some stay held, so that a count
    // on screen follows health().heldRecords(); their last one written is an incident.
    void setHeldCallback(std::function<void()> callback) { m_heldChanged = std::move(callback); }
    const CaptureHealth& health() const { return m_health; }

    NotificationSource* source() const { return m_source.get(); }

private:
    // Tells health() and the owner how the held lines stand after the pipeline ran.
    void followHeld();
    // Notes an incident whose gap line (if any) is written already, and tells the owner.
    void tell(const CaptureIncident& incident);
    // Appends a gap line, or keeps it to be tried again with the held lines.
    void writeGap(const Date& date, std::string line);
    void writeUnwrittenGaps();
    RecordingSession::Standing standing() const;

    std::unique_ptr<NotificationSource> m_source;
    RecordPipeline m_pipeline;
    std::function<void()> m_recorded;
    std::function<void(int)> m_scheduleRetry;
    bool m_retryPending = false;
    bool m_holding = false; // a WriteFailed condition is reported and not yet cleared
    bool m_lossReported = false;
    std::function<void(const CaptureIncident&, bool)> m_healthChanged;
    std::function<void()> m_heldChanged;
    CaptureHealth m_health;
    const DataFolder& m_folder;
    const Clock& m_clock;
    bool m_loaded = false;
    std::unique_ptr<RecordingSession> m_session;
    bool m_sessionOpen = false; // begun by load(), not ended yet
    std::vector<std::pair<Date, std::string>> m_unwrittenGaps;
};

} // namespace zlv
