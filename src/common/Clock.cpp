#include "common/Clock.h"

namespace {
const Clock* s_clock = nullptr;
}

QDateTime Clock::currentDateTime() const
{
    return QDateTime::currentDateTime();
}

const Clock& Clock::instance()
{
    static const Clock systemClock;
    return s_clock ? *s_clock : systemClock;
}

void Clock::setInstance(const Clock* clock)
{
    s_clock = clock;
}
