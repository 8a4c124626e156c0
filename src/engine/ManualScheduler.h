#pragma once

#include "engine/EngineScheduler.h"

#include <QtGlobal>

#include <map>
#include <utility>

// Time that moves only when told to. Tasks due at the same moment run in the
// order they were scheduled; a task may schedule more tasks, and those due by
// the target time run in the same call.
class ManualScheduler final : public EngineScheduler
{
public:
    void Schedule(int delayMs, std::function<void()> task) override;
    void CancelAll() override;

    // Moves time forward by `ms` and runs every task due by then.
    void Advance(qint64 ms);
    // Runs tasks until none is left, moving time as far as needed. Returns
    // false when `maxTasks` ran and tasks are still waiting.
    bool RunUntilIdle(qint64 maxTasks = 10'000'000);
    // Runs the next due task only, moving time to it. False when none waits.
    bool RunNext();

    qint64 Now() const { return m_now; }
    qsizetype Pending() const { return static_cast<qsizetype>(m_tasks.size()); }

private:
    qint64 m_now = 0;
    quint64 m_sequence = 0;
    std::map<std::pair<qint64, quint64>, std::function<void()>> m_tasks;
};
