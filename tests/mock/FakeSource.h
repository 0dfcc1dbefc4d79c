#pragma once

#include "capture/NotificationSource.h"

#include <optional>

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

} // namespace zlv::test
