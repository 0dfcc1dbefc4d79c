#include "capture/frmPubHide.h"

namespace zlv {

frmPubHide::frmPubHide(const DataFolder& folder, std::unique_ptr<NotificationSource> source,
                       const Clock& clock)
    : m_source(std::move(source)), m_pipeline(folder, clock)
{
}

frmPubHide::~frmPubHide()
{
    unload();
}

bool frmPubHide::load()
{
    if (m_loaded || !m_source) {
        return m_loaded;
    }
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

} // namespace zlv
