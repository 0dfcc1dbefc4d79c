#pragma once

#include "utility/Clock.h"

namespace zlv {

// A clock that stands still until it is told to move: install it with Clock::setInstance to
// stand at any moment (one second before midnight, the fifth second after a record, ...).
class ManualClock final : public Clock
{
public:
    explicit ManualClock(LocalDateTime at) : m_now(at) {}
    LocalDateTime now() const override { return m_now; }
    void set(LocalDateTime at) { m_now = at; }
    void advanceSeconds(long long seconds)
    {
        const long long total = m_now.date.toDayNumber() * 86400 + m_now.secondsOfDay() + seconds;
        const long long days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
        const long long rest = total - days * 86400;
        m_now.date = Date::fromDayNumber(days);
        m_now.hour = static_cast<int>(rest / 3600);
        m_now.minute = static_cast<int>(rest / 60 % 60);
        m_now.second = static_cast<int>(rest % 60);
    }

private:
    LocalDateTime m_now;
};

} // namespace zlv
