#include "engine/ManualScheduler.h"

void ManualScheduler::Schedule(int delayMs, std::function<void()> task)
{
    m_tasks.emplace(std::make_pair(m_now + std::max(0, delayMs), m_sequence++), std::move(task));
}

void ManualScheduler::CancelAll()
{
    m_tasks.clear();
}

bool ManualScheduler::RunNext()
{
    if (m_tasks.empty())
        return false;
    auto first = m_tasks.begin();
    m_now = std::max(m_now, first->first.first);
    // Taken out before it runs: the task may schedule or cancel others.
    std::function<void()> task = std::move(first->second);
    m_tasks.erase(first);
    task();
    return true;
}

void ManualScheduler::Advance(qint64 ms)
{
    const qint64 target = m_now + std::max<qint64>(0, ms);
    while (!m_tasks.empty() && m_tasks.begin()->first.first <= target)
        RunNext();
    m_now = target;
}

bool ManualScheduler::RunUntilIdle(qint64 maxTasks)
{
    for (qint64 ran = 0; ran < maxTasks; ++ran) {
        if (!RunNext())
            return true;
    }
    return m_tasks.empty();
}
