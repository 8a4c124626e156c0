#pragma once

#include <QHash>
#include <QList>

#include <optional>

// The rules a listener of the console keeps for the connections it holds,
// so that a crowd of peers that connect and say nothing cannot shut out the
// clients that matter: a peer silent for IdleMs is dropped, and with MaxPeers
// held a newcomer takes the place of the one silent longest. The listener
// owns the sockets and its clock; the policy keeps the times and says whom
// to drop. A TLS listener counts a handshake that has not finished as silence.
class PeerPolicy
{
public:
    struct Limits
    {
        int MaxPeers = 64;
        // Long enough for a person at telnet to read the greeting and press a key.
        int IdleMs = 10000;
    };

    using Peer = quintptr;

    explicit PeerPolicy(Limits limits)
        : m_limits(limits)
    { }

    const Limits &limits() const { return m_limits; }
    int size() const { return int(m_lastHeard.size()); }

    // Takes in `peer`, heard from at `now` (milliseconds of a steady clock).
    // The peer that gives way for it, when the listener is full.
    std::optional<Peer> admit(Peer peer, qint64 now);
    void heard(Peer peer, qint64 now);
    void forget(Peer peer) { m_lastHeard.remove(peer); }
    void clear() { m_lastHeard.clear(); }
    // The peers silent for the idle time at `now`, forgotten here; the
    // listener drops them.
    QList<Peer> expired(qint64 now);
    // Milliseconds from `now` until the next peer has been silent too long;
    // nothing while no peer is held.
    std::optional<qint64> nextExpiry(qint64 now) const;

private:
    Limits m_limits;
    QHash<Peer, qint64> m_lastHeard;
};
