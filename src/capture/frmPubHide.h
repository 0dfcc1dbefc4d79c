#pragma once

#include "capture/NotificationSource.h"
#include "capture/RecordPipeline.h"

#include <functional>
#include <memory>

namespace zlv {

// The capture form: owns the platform's notification source and the record pipeline.
// Loading starts capture; unloading stops it. After every notification that wrote a line,
// the owner's callback rebuilds the Today list.
class frmPubHide final
{
public:
    frmPubHide(const DataFolder& folder, std::unique_ptr<NotificationSource> source,
               const Clock& clock = Clock::instance());
    ~frmPubHide();
    frmPubHide(const frmPubHide&) = delete;
    frmPubHide& operator=(const frmPubHide&) = delete;

    bool load();
    void unload();
    bool isLoaded() const { return m_loaded; }

    // Called once for every notification, on the user-interface thread.
    void upsReceiveEvents(const Notification& notification);

    void setRecordedCallback(std::function<void()> callback) { m_recorded = std::move(callback); }

    NotificationSource* source() const { return m_source.get(); }

private:
    std::unique_ptr<NotificationSource> m_source;
    RecordPipeline m_pipeline;
    std::function<void()> m_recorded;
    bool m_loaded = false;
};

} // namespace zlv
