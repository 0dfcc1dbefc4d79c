#pragma once

#include "capture/NotificationSource.h"
#include "mainwindow/frmPubMain.h"

#include <memory>
#include <optional>
#include <string>

namespace zlv::test {

// Stands in for the platform: a test hands notifications to the capture form itself.
class FakeSource final : public NotificationSource
{
public:
    bool start(Sink sink) override
    {
        m_sink = std::move(sink);
        return true;
    }
    void stop() override { m_sink = nullptr; }
    void deliver(std::uint32_t event, ShellItem item1, std::optional<ShellItem> item2 = {}) const
    {
        if (m_sink) {
            m_sink(Notification{event, std::move(item1), std::move(item2)});
        }
    }

private:
    Sink m_sink;
};

// The main window on a data folder under `appData`, capturing from a FakeSource that
// `source` then points to; no background version check.
inline std::unique_ptr<frmPubMain> MakeTestWindow(const std::string& appData, FakeSource*& source,
                                                  std::optional<bool> trayAvailable = false,
                                                  const QString& versionUrl = {})
{
    frmPubMain::Options o;
    o.appData = appData;
    o.versionUrl = versionUrl;
    o.trayAvailable = trayAvailable;
    o.versionCheckDelayMs = 0;
    o.makeSource = [&source](const DataFolder&) {
        auto s = std::make_unique<FakeSource>();
        source = s.get();
        return s;
    };
    auto w = std::make_unique<frmPubMain>(std::move(o));
    w->show();
    return w;
}

} // namespace zlv::test
