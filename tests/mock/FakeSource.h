#pragma once

#include "capture/NotificationSource.h"

#include <optional>
#include <string>

namespace zlv::test {

// Stands in for the platform: a test hands notifications to the capture form itself. Made
// with a failure, it is a platform that refuses to start and says why.
class FakeSource final : public NotificationSource
{
public:
    FakeSource() = default;
    explicit FakeSource(std::string failure) : m_failure(std::move(failure)) {}

    bool start(Sink sink) override
    {
        m_sink = std::move(sink);
        return m_failure.empty();
    }
    std::string startFailure() const override { return m_failure; }
    void stop() override { m_sink = nullptr; }
    void deliver(std::uint32_t event, ShellItem item1, std::optional<ShellItem> item2 = {}) const
    {
        if (m_sink) {
            m_sink(Notification{event, std::move(item1), std::move(item2)});
        }
    }

private:
    Sink m_sink;
    std::string m_failure;
};

} // namespace zlv::test
