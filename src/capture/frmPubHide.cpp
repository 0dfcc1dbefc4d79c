#include "capture/frmPubHide.h"

#include "logstore/DayFile.h"

namespace zlv {

frmPubHide::frmPubHide(const DataFolder& folder, std::unique_ptr<NotificationSource> source,
                       const Clock& clock)
    : m_source(std::move(source)), m_pipeline(folder, clock),
      m_health([this] { return m_pipeline.heldRecords(); }), m_folder(folder), m_clock(clock)
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
    if (m_session) {
        // What the last run left comes first: its held lines keep their places before
        // anything this run sees, and the gap between the runs is told before it starts.
        RecordingSession::Opening last = m_session->begin();
        m_sessionOpen = true;
        m_pipeline.setSpill(&m_session->spill());
        for (HeldSpill::Entry& entry : last.held) {
            m_pipeline.restoreHeld(entry.at, std::move(entry.text));
        }
        for (auto& [date, line] : last.unwritten) {
            m_unwrittenGaps.emplace_back(date, std::move(line));
        }
        for (const CaptureIncident& incident : last.incidents) {
            tell(incident);
        }
        if (!last.held.empty()) {
            retryHeld();
        }
        publishState();
    }
    m_source->setHealthSink([this](const CaptureIncident& i) { reportIncident(i); });
    m_source->setIdleSink([this] { m_pipeline.releaseSpare(); });
    m_loaded = m_source->start([this](const Notification& n) { upsReceiveEvents(n); });
    if (!m_loaded) {
        // Told here and only here, so that a failed start makes one gap line.
        std::string why = m_source->startFailure();
        if (why.empty()) {
            why = "Recording could not start: the system refused to report file operations "
                  "to Zelvory.";
        }
        reportIncident({.reason = GapReason::CaptureStopped,
                        .sentence = std::move(why),
                        .ongoing = true,
                        .needsAction = true});
    }
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
    writeUnwrittenGaps();
    if (m_sessionOpen) {
        m_sessionOpen = false;
        m_session->end(standing());
        m_pipeline.setSpill(nullptr);
    }
}

void frmPubHide::keepRunState()
{
    if (!m_session) {
        m_session = std::make_unique<RecordingSession>(m_folder, m_clock);
    }
}

RecordingSession::Standing frmPubHide::standing() const
{
    RecordingSession::Standing now;
    now.held = m_pipeline.heldRecords();
    now.unspilled = m_pipeline.unspilledHeld();
    now.lost = m_pipeline.loss();
    for (const CaptureHealth::Entry& e : m_health.entries()) {
        if (e.active) {
            now.conditions.emplace_back(std::string(GapReasonWord(e.incident.reason)),
                                        e.incident.sentence);
        }
    }
    return now;
}

void frmPubHide::publishState()
{
    if (m_sessionOpen) {
        m_session->publish(standing());
    }
}

void frmPubHide::dataFolderRemade()
{
    if (m_sessionOpen) {
        m_session->reopen();
        m_pipeline.setSpill(&m_session->spill());
        publishState();
    }
}

void frmPubHide::writeGap(const Date& date, std::string line)
{
    if (!m_folder.appendGap(date, line)) {
        m_unwrittenGaps.emplace_back(date, std::move(line));
    }
}

void frmPubHide::writeUnwrittenGaps()
{
    std::size_t done = 0;
    while (done < m_unwrittenGaps.size() &&
           m_folder.appendGap(m_unwrittenGaps[done].first, m_unwrittenGaps[done].second)) {
        ++done;
    }
    m_unwrittenGaps.erase(m_unwrittenGaps.begin(),
                          m_unwrittenGaps.begin() + static_cast<std::ptrdiff_t>(done));
}

void frmPubHide::upsReceiveEvents(const Notification& notification)
{
    if (m_pipeline.handle(notification) == RecordPipeline::Outcome::Dropped) {
        return;
    }
    followHeld();
    publishState();
    if (m_recorded) {
        m_recorded();
    }
}

void frmPubHide::retryHeld()
{
    m_retryPending = false;
    const std::size_t written = m_pipeline.writeHeld();
    writeUnwrittenGaps();
    followHeld();
    publishState();
    if (written > 0 && m_recorded) {
        m_recorded();
    }
}

void frmPubHide::followHeld()
{
    const std::size_t held = m_pipeline.heldRecords();
    if (held > 0 && m_heldChanged) {
        m_heldChanged();
    }
    if (!m_unwrittenGaps.empty() && held == 0 && m_scheduleRetry && !m_retryPending) {
        // Gap lines wait for room as held records do, even with no record held.
        m_retryPending = true;
        m_scheduleRetry(kRetryDelayMs);
    }
    const RecordPipeline::Loss& loss = m_pipeline.loss();
    if (held > 0) {
        if (!m_holding || (loss.count > 0 && !m_lossReported)) {
            CaptureIncident incident{
                .reason = GapReason::WriteFailed,
                .sentence = "Operations cannot be written to the journal in " +
                            m_folder.logsFolder() +
                            " (the disk is full, or the folder is missing or not writable). "
                            "They are kept in memory and written as soon as that works again: "
                            "free some disk space or make the folder writable.",
                .missing = 0,
                .ongoing = true,
                .needsAction = true,
                .isGap = false};
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
    reportIncident({.reason = GapReason::WriteFailed,
                    .sentence = "Every held operation has been written to the journal.",
                    .missing = 0,
                    .cleared = true,
                    .isGap = false});
    const RecordPipeline::Loss lost = m_pipeline.takeLoss();
    if (lost.count > 0) {
        reportIncident({.reason = GapReason::WriteFailed,
                        .sentence = RecordingSession::LostSentence(lost),
                        .missing = static_cast<std::int64_t>(lost.count),
                        .began = lost.first});
    }
}

void frmPubHide::reportIncident(const CaptureIncident& incident)
{
    const LocalDateTime now = m_clock.now();
    if (incident.isGap && !incident.cleared) {
        const LocalDateTime at = incident.began.value_or(now);
        const GapRecord gap{dayfile::FormatStamp(at), std::string(GapReasonWord(incident.reason)),
                            incident.sentence};
        writeGap(at.date, gapfile::FormatLine(gap));
    }
    tell(incident);
}

void frmPubHide::tell(const CaptureIncident& incident)
{
    const bool ask = m_health.note(incident, incident.began.value_or(m_clock.now()));
    publishState();
    if (m_healthChanged) {
        m_healthChanged(incident, ask);
    }
}

} // namespace zlv
