#pragma once

#include "common/Clock.h"

// A clock that shows the time it was set to. Installed for its lifetime.
class ManualClock final : public Clock
{
public:
    explicit ManualClock(QDateTime now)
        : m_now(std::move(now))
    {
        Clock::setInstance(this);
    }
    ~ManualClock() override { Clock::setInstance(nullptr); }

    QDateTime currentDateTime() const override { return m_now; }
    void set(const QDateTime &now) { m_now = now; }

private:
    QDateTime m_now;
};
