#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Resolves and pings a list of names with up to `inFlight` of them under way
// at once, on threads of its own, and hands the outcomes out in the list's
// order. A name starts while fewer than `inFlight` echoes are under way, so
// a name that times out holds back only its own place, not those of the
// answers behind it that wait to be taken. With one in flight each name also
// waits until the one before it was taken, as if the caller pinged them
// itself: a cancel between two names sends nothing more.
class ParallelPing
{
public:
    struct Outcome
    {
        // The resolved address as dotted text; empty when the name did not resolve.
        QString address;
        qint32 result = 0;
    };

    static constexpr int MaxInFlight = 256;

    ParallelPing(QStringList names, int inFlight, int timeoutMs);
    // Starts nothing more and waits for the echoes under way.
    ~ParallelPing();
    ParallelPing(const ParallelPing &) = delete;
    ParallelPing &operator=(const ParallelPing &) = delete;

    qsizetype size() const { return m_names.size(); }
    // The outcome of the next name in the list, waiting at most waitMs for
    // it; nothing when it is not there yet, every outcome was taken, or the
    // name will never start.
    std::optional<Outcome> takeNext(int waitMs);
    // The address of the next name once it is resolved, while its echo is
    // under way; empty before, and when it did not resolve.
    QString nextAddress();
    // No name starts after the next one to be taken, which the caller may
    // be waiting for already; those under way finish.
    void cancel();

private:
    void work();
    // With the lock held.
    bool mayStart() const;

    const QStringList m_names;
    const int m_inFlight;
    const int m_timeoutMs;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<Outcome>> m_outcomes;
    std::vector<QString> m_addresses;
    qsizetype m_started = 0;
    int m_underWay = 0;
    qsizetype m_taken = 0;
    // Names from here on never start.
    qsizetype m_end = 0;
    std::vector<std::thread> m_workers;
};
