#pragma once

#include <functional>

// When the simulated engine's next steps happen. The engine never asks the
// clock or starts a timer itself, so that tests can step a whole migration
// without waiting (ManualScheduler) while the console runs it at a pace a
// person can follow (TimerScheduler).
class EngineScheduler
{
public:
    virtual ~EngineScheduler() = default;

    // Runs `task` once, `delayMs` milliseconds from now, on this thread.
    virtual void Schedule(int delayMs, std::function<void()> task) = 0;
    // Drops every task not yet run.
    virtual void CancelAll() = 0;
};
