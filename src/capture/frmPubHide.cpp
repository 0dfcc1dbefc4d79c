#include "capture/frmPubHide.h"

#include "logstore/DayFile.h"

namespace zlv {

frmPubHide::frmPubHide(const DataFolder& folder, std::unique_ptr<NotificationSource> source,
                       const Clock& clock)
    : m_source(std::move(source)), m_pipeline(folder, clock), m_folder(folder), m_clock(clock)
{}

frmPubHide::~frmPubHide()
{
    unload();
}

bool frmPubHide::load()
{
    if (m_loaded || !m_source) {
        return m_loaded;
    }
    m_source->setHealthSink([this](const CaptureIncident& i) { reportIncident(i); });
    m_source->setIdleSink([this] { m_pipeline.releaseSpare(); });
    m_loaded = m_source->start([this](const Notification& n) { upsReceiveEvents(n); });
    return m_loaded;
}

void frmPubHide::unload()
{
    if (m_loaded && m_source) {
        m_source->stop();
    }
    m_loaded = false;
    // A last chance for lines still waiting; past this point nothing would write them.
    m_pipeline.writeHeld();
}

void frmPubHide::upsReceiveEvents(const Notification& notification)
{
    if (m_pipeline.handle(notification) == RecordPipeline::Outcome::Dropped) {
        return;
    }
    followHeld();
    if (m_recorded) {
        m_recorded();
    }
}

void frmPubHide::retryHeld()
{
    m_retryPending = false;
    const std::size_t written = m_pipeline.writeHeld();
    followHeld();
    if (written > 0 && m_recorded) {
        m_recorded();
    }
}

void frmPubHide::followHeld()
{
    const std::size_t held = m_pipeline.heldRecords();
    m_health.setHeldRecords(held);
    const RecordPipeline::Loss& loss = m_pipeline.loss();
    if (held > 0) {
        if (!m_holding || (loss.count > 0 && !m_lossReported)) {
            CaptureIncident incident{GapReason::WriteFailed,
                                     "Operations cannot be written to the journal in " +
                                         m_folder.logsFolder() +
                                         " (the disk is full, or the folder is missing or not "
                                         "writable). They are kept in memory and written as "
                                         "soon as that works again: free some disk space or "
                                         "make the folder writable.",
                                     0,
                                     true,
                                     false,
                                     true,
                                     false,
                                     {}};
            if (loss.count > 0) {
                incident.missing = static_cast<std::int64_t>(loss.count);
                incident.sentence += " There is no room left in memory: later operations are "
                                     "being lost.";
                m_lossReported = true;
            }
            m_holding = true;
            reportIncident(incident);
        }
        if (m_scheduleRetry && !m_retryPending) {
            m_retryPending = true;
            m_scheduleRetry(kRetryDelayMs);
        }
        return;
    }
    if (!m_holding) {
        return;
    }
    m_holding = false;
    m_lossReported = false;
    reportIncident(CaptureIncident{GapReason::WriteFailed,
                                   "Every held operation has been written to the journal.",
                                   0,
                                   false,
                                   true,
                                   false,
                                   false,
                                   {}});
    const RecordPipeline::Loss lost = m_pipeline.takeLoss();
    if (lost.count > 0) {
        reportIncident(CaptureIncident{
            GapReason::WriteFailed,
            std::to_string(lost.count) + " operations between " + dayfile::FormatStamp(lost.first) +
                " and " + dayfile::FormatStamp(lost.last) +
                " were not recorded: the journal could not be written and there was no room "
                "left to keep them in memory.",
            static_cast<std::int64_t>(lost.count), false, false, false, true, lost.first});
    }
}

void frmPubHide::reportIncident(const CaptureIncident& incident)
{
    const LocalDateTime now = m_clock.now();
    if (incident.isGap && !incident.cleared) {
        const LocalDateTime at = incident.began.value_or(now);
        const GapRecord gap{dayfile::FormatStamp(at), std::string(GapReasonWord(incident.reason)),
                            incident.sentence};
        m_folder.appendGap(at.date, gapfile::FormatLine(gap));
    }
    const bool ask = m_health.note(incident, incident.began.value_or(now));
    if (m_healthChanged) {
        m_healthChanged(incident, ask);
    }
}

} // namespace zlv
