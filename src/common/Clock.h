#pragma once

#include <QDateTime>

// The one source of "now" for the console. Time stamps in logs and file
// names come from here so that tests can pin the time.
class Clock
{
public:
    virtual ~Clock() = default;

    virtual QDateTime currentDateTime() const;

    static const Clock& instance();
    // Installs a clock that the caller keeps alive; nullptr restores the system clock.
    static void setInstance(const Clock* clock);
};
