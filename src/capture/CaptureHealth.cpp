#include "capture/CaptureHealth.h"

#include <algorithm>

namespace zlv {

bool CaptureHealth::note(const CaptureIncident& incident, const LocalDateTime& at)
{
    auto active = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
        return e.active && e.incident.reason == incident.reason;
    });
    if (incident.cleared) {
        if (active != m_entries.end() && !active->incident.isGap) {
            // A condition that left no hole (records held, then all written) is over for
            // good: the journal is whole again, and says so.
            m_entries.erase(active);
        } else if (active != m_entries.end()) {
            active->active = false;
        }
        return false;
    }
    if (active != m_entries.end()) {
        // The same condition still going on: keep when it began, take the newer figures.
        active->incident = incident;
    } else {
        m_entries.push_back({incident, at, incident.ongoing});
    }
    if (!incident.needsAction ||
        std::find(m_asked.begin(), m_asked.end(), incident.reason) != m_asked.end()) {
        return false;
    }
    m_asked.push_back(incident.reason);
    return true;
}

bool CaptureHealth::anyActive() const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [](const Entry& e) { return e.active; });
}

} // namespace zlv
