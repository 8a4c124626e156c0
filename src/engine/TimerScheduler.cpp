#include "engine/TimerScheduler.h"

#include <QTimer>

TimerScheduler::TimerScheduler()
    : m_context(std::make_unique<QObject>())
{ }

TimerScheduler::~TimerScheduler() = default;

void TimerScheduler::Schedule(int delayMs, std::function<void()> task)
{
    QTimer::singleShot(std::max(0, delayMs), Qt::PreciseTimer, m_context.get(), std::move(task));
}

void TimerScheduler::CancelAll()
{
    m_context = std::make_unique<QObject>();
}
