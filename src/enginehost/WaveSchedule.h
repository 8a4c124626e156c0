#pragma once

#include "engine/modEngineLink.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <climits>

#include <optional>
#include <vector>

// The order in which a run starts its clients: wave after wave, each no
// earlier than its start time and with at most its cap of computers in
// progress, and the clients in no wave last. A wave is over for the order
// when none of its computers is still in progress: ended, or waiting to be
// tried again, or gone quiet (those take no place of the cap either, so a
// laptop that is off overnight holds up neither its wave nor the next).
//
// When more than its threshold of a wave's computers has failed, the wave
// and every wave after it are stopped: the run cancels their computers.
class WaveSchedule
{
public:
    struct Stop
    {
        int wave = 0; // index into the waves
        QString reason;
    };

    // A wave's cap is cut to `transferors`, the most the engine runs at once.
    explicit WaveSchedule(const QList<modEngineLink::JobWave> &waves = {}, int transferors = INT_MAX);

    // Files a client under its wave (1 ..., or 0 for none), in client order.
    void add(int client, int wave);
    // The clients to deliver now, in order; they count as in progress.
    QList<int> take(const QDateTime &nowUtc);
    // A client in progress waits for another try or for its next report:
    // its place of the cap is free. `resumed` takes it back into progress.
    void waiting(int client);
    void resumed(int client);
    // A client ended (a client never taken leaves its wave's queue). A stop
    // the outcome brings is given once.
    std::optional<Stop> ended(int client, bool failed);

    bool stopped(int client) const;
    // The clients not ended of the waves that `stop` stopped.
    QList<int> clientsOf(const Stop &stop) const;
    // When the wave whose turn it is may start; invalid when it need not wait.
    QDateTime waitsUntil(const QDateTime &nowUtc) const;
    // What the run is at, for the console's status bar: the wave, how many
    // of its computers are left and how many waves come after it. Empty for
    // a run without waves.
    QString describe() const;
    // A line for the log when the wave whose turn it is changed since the
    // last call; empty otherwise.
    QString takeTurnLine(const QDateTime &nowUtc);

    int waveCount() const { return int(m_waves.size()) - 1; }

    // A time as the log shows it: local, with its offset ("2026-12-08 22:00:00 +01:00").
    static QString LocalTime(const QDateTime &utc);

private:
    enum class State : quint8 { Queued, InProgress, Waiting, Ended };
    struct Wave
    {
        modEngineLink::JobWave job;
        QList<int> queue; // client numbers not yet taken, in order
        qsizetype next = 0; // the first of `queue` not yet taken
        int size = 0;
        int inProgress = 0;
        int ended = 0;
        int failed = 0;
        bool stopped = false;
    };
    struct Client
    {
        int wave = 0; // index into m_waves
        State state = State::Queued;
    };

    QString waveName(int index) const;
    void advance();

    std::vector<Wave> m_waves; // the job's, then the clients in no wave
    QHash<int, Client> m_clients;
    int m_turn = 0;
    int m_announced = -1;
    bool m_announcedWait = false;
};
