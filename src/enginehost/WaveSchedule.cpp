#include "enginehost/WaveSchedule.h"

#include "common/modFormat.h"

QString WaveSchedule::LocalTime(const QDateTime &utc)
{
    return modFormat::LocalTimeWithOffset(utc, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

WaveSchedule::WaveSchedule(const QList<modEngineLink::JobWave> &waves, int transferors)
{
    for (const modEngineLink::JobWave &job : waves) {
        Wave wave;
        wave.job = job;
        if (wave.job.concurrency > 0)
            wave.job.concurrency = qMin(wave.job.concurrency, qMax(1, transferors));
        m_waves.push_back(wave);
    }
    m_waves.emplace_back();
}

void WaveSchedule::add(int client, int wave)
{
    const int index = wave >= 1 && wave <= waveCount() ? wave - 1 : waveCount();
    m_waves[size_t(index)].queue.append(client);
    ++m_waves[size_t(index)].size;
    Client entry;
    entry.wave = index;
    m_clients.insert(client, entry);
}

QString WaveSchedule::waveName(int index) const
{
    return QStringLiteral("Wave %1 of %2 \"%3\"").arg(index + 1).arg(waveCount()).arg(m_waves[size_t(index)].job.name);
}

void WaveSchedule::advance()
{
    while (m_turn < int(m_waves.size()) - 1) {
        const Wave &wave = m_waves[size_t(m_turn)];
        const bool queueDone = wave.stopped || wave.next >= wave.queue.size();
        if (!queueDone || wave.inProgress > 0)
            return;
        ++m_turn;
    }
}

QList<int> WaveSchedule::take(const QDateTime &nowUtc)
{
    QList<int> taken;
    advance();
    Wave &wave = m_waves[size_t(m_turn)];
    if (wave.stopped || (wave.job.notBefore.isValid() && nowUtc < wave.job.notBefore))
        return taken;
    const int cap = wave.job.concurrency > 0 ? wave.job.concurrency : INT_MAX;
    while (wave.next < wave.queue.size() && wave.inProgress < cap) {
        const int client = wave.queue.at(wave.next++);
        Client &entry = m_clients[client];
        if (entry.state != State::Queued)
            continue;
        entry.state = State::InProgress;
        ++wave.inProgress;
        taken.append(client);
    }
    return taken;
}

void WaveSchedule::waiting(int client)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end() || it->state != State::InProgress)
        return;
    it->state = State::Waiting;
    --m_waves[size_t(it->wave)].inProgress;
}

void WaveSchedule::resumed(int client)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end() || it->state != State::Waiting)
        return;
    it->state = State::InProgress;
    ++m_waves[size_t(it->wave)].inProgress;
}

std::optional<WaveSchedule::Stop> WaveSchedule::ended(int client, bool failed)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end() || it->state == State::Ended)
        return std::nullopt;
    Wave &wave = m_waves[size_t(it->wave)];
    if (it->state == State::InProgress)
        --wave.inProgress;
    it->state = State::Ended;
    ++wave.ended;
    if (!failed)
        return std::nullopt;
    ++wave.failed;
    const int threshold = wave.job.failurePercent;
    if (wave.stopped || threshold < 0 || qint64(wave.failed) * 100 <= qint64(threshold) * wave.size)
        return std::nullopt;
    Stop stop;
    stop.wave = it->wave;
    stop.reason = QStringLiteral("%1 stopped: %2 of its %3 computers failed, more than its threshold of %4 %; %5")
            .arg(waveName(it->wave))
            .arg(wave.failed)
            .arg(wave.size)
            .arg(threshold)
            .arg(it->wave + 1 < waveCount() ? QStringLiteral("the waves after it are not started.")
                                              : QStringLiteral("its computers not yet started are not started."));
    for (size_t index = size_t(it->wave); index < m_waves.size(); ++index)
        m_waves[index].stopped = true;
    return stop;
}

bool WaveSchedule::stopped(int client) const
{
    const auto it = m_clients.constFind(client);
    return it != m_clients.cend() && m_waves[size_t(it->wave)].stopped;
}

QList<int> WaveSchedule::clientsOf(const Stop &stop) const
{
    QList<int> clients;
    for (auto it = m_clients.cbegin(); it != m_clients.cend(); ++it) {
        if (it->wave >= stop.wave && it->state != State::Ended)
            clients.append(it.key());
    }
    std::sort(clients.begin(), clients.end());
    return clients;
}

QDateTime WaveSchedule::waitsUntil(const QDateTime &nowUtc) const
{
    const Wave &wave = m_waves[size_t(m_turn)];
    if (wave.stopped || wave.next >= wave.queue.size() || !wave.job.notBefore.isValid() || nowUtc >= wave.job.notBefore)
        return {};
    return wave.job.notBefore;
}

QString WaveSchedule::describe() const
{
    if (waveCount() == 0)
        return {};
    const int last = int(m_waves.size()) - 1;
    int turn = m_turn;
    // The clients in no wave are shown as such, and only when there are some.
    if (turn == last && m_waves[size_t(last)].size == 0)
        turn = last - 1;
    const Wave &wave = m_waves[size_t(turn)];
    const int left = wave.size - wave.ended;
    QString text = turn == last ? QStringLiteral("Computers in no wave") : waveName(turn);
    if (wave.stopped)
        return text + QStringLiteral(": stopped");
    text += QStringLiteral(": %1 of %2 computers left").arg(left).arg(wave.size);
    const int after = waveCount() - 1 - turn;
    if (after > 0)
        text += after == 1 ? QStringLiteral(", 1 wave after it") : QStringLiteral(", %1 waves after it").arg(after);
    return text;
}

QString WaveSchedule::takeTurnLine(const QDateTime &nowUtc)
{
    if (waveCount() == 0)
        return {};
    advance();
    const Wave &wave = m_waves[size_t(m_turn)];
    const bool waits = waitsUntil(nowUtc).isValid();
    if (m_turn == m_announced && waits == m_announcedWait)
        return {};
    if (m_turn == int(m_waves.size()) - 1 && wave.size == 0)
        return {};
    m_announced = m_turn;
    m_announcedWait = waits;
    if (wave.stopped)
        return {};
    const QString name = m_turn == int(m_waves.size()) - 1 ? QStringLiteral("The computers in no wave") : waveName(m_turn);
    if (waits) {
        return QStringLiteral("%1 waits until %2.").arg(name, LocalTime(wave.job.notBefore));
    }
    QString line = QStringLiteral("%1 starts: %2 computers").arg(name).arg(wave.size);
    if (wave.job.concurrency > 0)
        line += QStringLiteral(", %1 at a time").arg(wave.job.concurrency);
    if (wave.job.failurePercent >= 0)
        line += QStringLiteral(", stopped when more than %1 % fail").arg(wave.job.failurePercent);
    return line + QLatin1Char('.');
}
