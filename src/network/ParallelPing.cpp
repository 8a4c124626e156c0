#include "network/ParallelPing.h"

#include "network/PingResult.h"
#include "network/modNetwork.h"

#include <algorithm>
#include <chrono>

ParallelPing::ParallelPing(QStringList names, int inFlight, int timeoutMs)
    : m_names(std::move(names))
    , m_inFlight(std::clamp(inFlight, 1, MaxInFlight))
    , m_timeoutMs(timeoutMs)
    , m_resolver(NameResolver::current())
    , m_outcomes(size_t(m_names.size()))
    , m_addresses(size_t(m_names.size()))
    , m_lookups(size_t(m_names.size()))
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
        m_stopping = true;
        endAt(m_echoed);
    }
    m_changed.notify_all();
    abandonLookups();
    for (std::thread &worker : m_workers)
        worker.join();
}

void ParallelPing::endAt(qsizetype end)
{
    m_end = std::min(m_end, end);
}

void ParallelPing::cancel()
{
    {
        const std::lock_guard lock(m_mutex);
        const bool nextKnown = m_taken < m_end && m_addresses[size_t(m_taken)].has_value();
        endAt(std::max(m_echoed, m_taken + (nextKnown ? 1 : 0)));
    }
    m_changed.notify_all();
    abandonLookups();
}

void ParallelPing::abandonLookups()
{
    std::vector<std::unique_ptr<NameResolver::Lookup>> abandoned;
    {
        const std::lock_guard lock(m_mutex);
        for (size_t i = size_t(m_end); i < size_t(m_lookedUp); ++i) {
            if (m_lookups[i])
                abandoned.push_back(std::move(m_lookups[i]));
        }
    }
    // Each waits for its `done` should that be running, which takes the lock.
    abandoned.clear();
}

bool ParallelPing::over()
{
    const std::lock_guard lock(m_mutex);
    return m_taken >= m_end;
}

std::optional<ParallelPing::Outcome> ParallelPing::takeNext(int waitMs)
{
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_taken >= m_end || m_outcomes[size_t(m_taken)].has_value(); };
    if (!m_changed.wait_for(lock, std::chrono::milliseconds(waitMs), ready) || m_taken >= m_end)
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
    return m_taken < m_end ? m_addresses[size_t(m_taken)].value_or(QString()) : QString();
}

bool ParallelPing::mayLookUp() const
{
    return m_lookedUp < m_end && m_resolving < m_inFlight && m_lookedUp < m_echoed + m_inFlight;
}

bool ParallelPing::mayEcho() const
{
    return m_echoed < m_end && m_addresses[size_t(m_echoed)].has_value() && m_echoing < m_inFlight
        && (m_inFlight > 1 || m_echoed == m_taken);
}

void ParallelPing::skipUnresolved()
{
    while (m_echoed < m_end && m_addresses[size_t(m_echoed)] && m_addresses[size_t(m_echoed)]->isEmpty())
        ++m_echoed;
}

void ParallelPing::resolved(qsizetype index, const QString &address)
{
    {
        const std::lock_guard lock(m_mutex);
        --m_resolving;
        if (index >= m_end)
            return;
        m_addresses[size_t(index)] = address;
        if (address.isEmpty())
            m_outcomes[size_t(index)] = Outcome {QString(), qint32(PingResult::CannotResolve)};
        skipUnresolved();
    }
    m_changed.notify_all();
}

void ParallelPing::startLookups()
{
    for (;;) {
        qsizetype index = 0;
        {
            const std::lock_guard lock(m_mutex);
            if (!mayLookUp())
                return;
            index = m_lookedUp++;
            ++m_resolving;
        }
        std::unique_ptr<NameResolver::Lookup> lookup
            = m_resolver.Start(m_names.at(index), [this, index](const QString &address) { resolved(index, address); });
        if (!lookup)
            continue;
        std::unique_lock lock(m_mutex);
        if (index < m_end && !m_addresses[size_t(index)]) {
            m_lookups[size_t(index)] = std::move(lookup);
            continue;
        }
        // Done already, or given up meanwhile; dropped without the lock,
        // which a `done` still running takes.
        lock.unlock();
        lookup.reset();
    }
}

void ParallelPing::work()
{
    for (;;) {
        startLookups();
        qsizetype index = 0;
        QString address;
        std::unique_ptr<NameResolver::Lookup> finished;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_stopping || (m_echoed >= m_end && m_lookedUp >= m_end) || mayLookUp() || mayEcho(); });
            if (m_stopping || (m_echoed >= m_end && m_lookedUp >= m_end))
                return;
            if (!mayEcho())
                continue;
            index = m_echoed++;
            address = *m_addresses[size_t(index)];
            ++m_echoing;
            finished = std::move(m_lookups[size_t(index)]);
            skipUnresolved();
        }
        finished.reset();
        m_changed.notify_all();
        const qint32 result = modNetwork::Ping(address, m_timeoutMs);
        {
            const std::lock_guard lock(m_mutex);
            m_outcomes[size_t(index)] = Outcome {address, result};
            --m_echoing;
        }
        m_changed.notify_all();
    }
}
