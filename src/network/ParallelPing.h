#pragma once

#include "network/NameResolver.h"

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Resolves and pings a list of names with up to `inFlight` echoes and up to
// `inFlight` lookups under way at once, on threads of its own, and hands the
// outcomes out in the list's order. The lookups run ahead of the echoes by
// at most `inFlight` names, so a name server that is slow or never answers
// costs a window of names at once, not each name in turn; a name that does
// not resolve takes no echo's place. An echo starts while fewer than
// `inFlight` are under way, so one that times out holds back only its own
// place. With one in flight each echo also waits until the outcome before
// it was taken, as if the caller pinged them itself: a cancel between two
// names sends no echo more.
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
    // Starts nothing more, abandons the lookups under way and waits for the
    // echoes under way.
    ~ParallelPing();
    ParallelPing(const ParallelPing &) = delete;
    ParallelPing &operator=(const ParallelPing &) = delete;

    qsizetype size() const { return m_names.size(); }
    // The outcome of the next name in the list, waiting at most waitMs for
    // it; nothing when it is not there yet or over().
    std::optional<Outcome> takeNext(int waitMs);
    // True when no outcome is left to take: all were taken, or a cancel
    // ended the list before the next one.
    bool over();
    // The address of the next name once it is resolved, while its echo is
    // under way; empty before, and when it did not resolve.
    QString nextAddress();
    // No name starts after the next one to be taken, which the caller may
    // be waiting for already: it still gets its echo when its address is
    // known, and is given up with its lookup when not. Echoes under way
    // finish; lookups under way are abandoned.
    void cancel();

private:
    void work();
    // With the lock held.
    bool mayLookUp() const;
    bool mayEcho() const;
    void skipUnresolved();
    void endAt(qsizetype end);
    // Starts the lookups that may start, without the lock.
    void startLookups();
    void resolved(qsizetype index, const QString &address);
    // Abandons the lookups of names from m_end on, without the lock.
    void abandonLookups();

    const QStringList m_names;
    const int m_inFlight;
    const int m_timeoutMs;
    const NameResolver &m_resolver;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<Outcome>> m_outcomes;
    // Set once a name is resolved; empty text when it did not resolve.
    std::vector<std::optional<QString>> m_addresses;
    std::vector<std::unique_ptr<NameResolver::Lookup>> m_lookups;
    // The next name to look up, and the lookups under way.
    qsizetype m_lookedUp = 0;
    int m_resolving = 0;
    // The next name whose echo starts, and the echoes under way.
    qsizetype m_echoed = 0;
    int m_echoing = 0;
    qsizetype m_taken = 0;
    // Names from here on never start.
    qsizetype m_end = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};
