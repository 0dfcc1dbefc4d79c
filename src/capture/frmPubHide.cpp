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
    m_loaded = m_source->start([this](const Notification& n) { upsReceiveEvents(n); });
    return m_loaded;
}

void frmPubHide::unload()
{
    if (m_loaded && m_source) {
        m_source->stop();
    }
    m_loaded = false;
}

void frmPubHide::upsReceiveEvents(const Notification& notification)
{
    if (m_pipeline.handle(notification) && m_recorded) {
        m_recorded();
    }
}

void frmPubHide::reportIncident(const CaptureIncident& incident)
{
    const LocalDateTime now = m_clock.now();
    if (incident.isGap && !incident.cleared) {
        const GapRecord gap{dayfile::FormatStamp(now), std::string(GapReasonWord(incident.reason)),
                            incident.sentence};
        m_folder.appendGap(now.date, gapfile::FormatLine(gap));
    }
    const bool ask = m_health.note(incident, now);
    if (m_healthChanged) {
        m_healthChanged(incident, ask);
    }
}

} // namespace zlv
