#include "network/ParallelPing.h"

#include "network/PingResult.h"
#include "network/modNetwork.h"

#include <algorithm>
#include <chrono>

ParallelPing::ParallelPing(QStringList names, int inFlight, int timeoutMs)
    : m_names(std::move(names))
    , m_inFlight(std::clamp(inFlight, 1, MaxInFlight))
    , m_timeoutMs(timeoutMs)
    , m_outcomes(size_t(m_names.size()))
    , m_addresses(size_t(m_names.size()))
    , m_end(m_names.size())
{
    const qsizetype workers = std::min<qsizetype>(m_inFlight, m_names.size());
    m_workers.reserve(size_t(workers));
    for (qsizetype i = 0; i < workers; ++i)
        m_workers.emplace_back([this] { work(); });
}

ParallelPing::~ParallelPing()
{
    {
        const std::lock_guard lock(m_mutex);
        m_end = m_started;
    }
    m_changed.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void ParallelPing::cancel()
{
    {
        const std::lock_guard lock(m_mutex);
        m_end = std::min(m_end, std::max(m_started, m_taken + 1));
    }
    m_changed.notify_all();
}

std::optional<ParallelPing::Outcome> ParallelPing::takeNext(int waitMs)
{
    std::unique_lock lock(m_mutex);
    if (m_taken >= m_end)
        return std::nullopt;
    const auto ready = [this] { return m_outcomes[size_t(m_taken)].has_value(); };
    if (!m_changed.wait_for(lock, std::chrono::milliseconds(waitMs), ready))
        return std::nullopt;
    std::optional<Outcome> outcome;
    outcome.swap(m_outcomes[size_t(m_taken)]);
    ++m_taken;
    lock.unlock();
    // A place in flight came free.
    m_changed.notify_all();
    return outcome;
}

QString ParallelPing::nextAddress()
{
    const std::lock_guard lock(m_mutex);
    return m_taken < m_names.size() ? m_addresses[size_t(m_taken)] : QString();
}

bool ParallelPing::mayStart() const
{
    return m_underWay < m_inFlight && (m_inFlight > 1 || m_started == m_taken);
}

void ParallelPing::work()
{
    for (;;) {
        qsizetype index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_started >= m_end || mayStart(); });
            if (m_started >= m_end)
                return;
            index = m_started++;
            ++m_underWay;
        }
        Outcome outcome;
        outcome.address = modNetwork::ResolveHost(m_names.at(index));
        {
            const std::lock_guard lock(m_mutex);
            m_addresses[size_t(index)] = outcome.address;
        }
        outcome.result = outcome.address.isEmpty() ? qint32(PingResult::CannotResolve) : modNetwork::Ping(outcome.address, m_timeoutMs);
        {
            const std::lock_guard lock(m_mutex);
            m_outcomes[size_t(index)] = std::move(outcome);
            --m_underWay;
        }
        m_changed.notify_all();
    }
}
