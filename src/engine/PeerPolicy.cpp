#include "engine/PeerPolicy.h"

#include <algorithm>

std::optional<PeerPolicy::Peer> PeerPolicy::admit(Peer peer, qint64 now)
{
    std::optional<Peer> givesWay;
    if (m_lastHeard.size() >= std::max(1, m_limits.MaxPeers)) {
        const auto oldest = std::min_element(m_lastHeard.cbegin(), m_lastHeard.cend());
        givesWay = oldest.key();
        m_lastHeard.erase(oldest);
    }
    m_lastHeard.insert(peer, now);
    return givesWay;
}

void PeerPolicy::heard(Peer peer, qint64 now)
{
    if (auto it = m_lastHeard.find(peer); it != m_lastHeard.end())
        it.value() = now;
}

QList<PeerPolicy::Peer> PeerPolicy::expired(qint64 now)
{
    QList<Peer> silent;
    for (auto it = m_lastHeard.begin(); it != m_lastHeard.end();) {
        if (now - it.value() >= m_limits.IdleMs) {
            silent.append(it.key());
            it = m_lastHeard.erase(it);
        } else {
            ++it;
        }
    }
    return silent;
}

std::optional<qint64> PeerPolicy::nextExpiry(qint64 now) const
{
    if (m_lastHeard.isEmpty())
        return std::nullopt;
    const qint64 oldest = *std::min_element(m_lastHeard.cbegin(), m_lastHeard.cend());
    return std::max<qint64>(0, oldest + m_limits.IdleMs - now);
}
