#pragma once

#include "engine/EngineScheduler.h"

#include <QObject>

#include <memory>

// Tasks on the Qt event loop of the calling thread.
class TimerScheduler final : public EngineScheduler
{
public:
    TimerScheduler();
    ~TimerScheduler() override;

    void Schedule(int delayMs, std::function<void()> task) override;
    void CancelAll() override;

private:
    // Pending single-shot timers die with their context object, which is
    // how CancelAll drops them.
    std::unique_ptr<QObject> m_context;
};
