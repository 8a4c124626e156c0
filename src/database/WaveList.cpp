#include "database/WaveList.h"

int WaveList::indexOf(const QString &name) const
{
    for (int i = 0; i < m_waves.size(); ++i) {
        if (m_waves.at(i).Name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString WaveList::canonicalName(const QString &name) const
{
    const int index = indexOf(name);
    return index < 0 ? QString() : m_waves.at(index).Name;
}

QString WaveList::problemWith(const WaveRecord &wave, int index) const
{
    const QString name = wave.Name.trimmed();
    if (name.isEmpty())
        return QStringLiteral("A wave needs a name.");
    if (name != wave.Name)
        return QStringLiteral("The wave name \"%1\" begins or ends with a space.").arg(wave.Name);
    if (name.size() > MaxNameLength)
        return QStringLiteral("The wave name \"%1\" is longer than %2 characters.").arg(name.left(MaxNameLength)).arg(MaxNameLength);
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("The wave name \"%1\" holds a control character.").arg(name);
    }
    const int other = indexOf(name);
    if (other >= 0 && other != index)
        return QStringLiteral("There is already a wave named \"%1\".").arg(m_waves.at(other).Name);
    if (wave.Concurrency < 0 || wave.Concurrency > MaxConcurrency)
        return QStringLiteral("The wave \"%1\" may run 1 to %2 computers at a time, or 0 for no cap of its own.")
            .arg(name)
            .arg(MaxConcurrency);
    if (wave.FailurePercent < -1 || wave.FailurePercent > 100)
        return QStringLiteral("The failure threshold of the wave \"%1\" is a share from 0 to 100 %.").arg(name);
    if (wave.NotBefore.isValid() && wave.NotBefore.timeSpec() != Qt::UTC)
        return QStringLiteral("The start time of the wave \"%1\" is not in UTC.").arg(name);
    if (index < 0 && m_waves.size() >= MaxWaves)
        return QStringLiteral("A job has at most %1 waves.").arg(MaxWaves);
    return {};
}

bool WaveList::add(const WaveRecord &wave, int position)
{
    if (!problemWith(wave).isEmpty())
        return false;
    if (position < 0 || position > m_waves.size())
        m_waves.append(wave);
    else
        m_waves.insert(position, wave);
    return true;
}

bool WaveList::replace(int index, const WaveRecord &wave)
{
    if (index < 0 || index >= m_waves.size() || !problemWith(wave, index).isEmpty())
        return false;
    m_waves[index] = wave;
    return true;
}

void WaveList::remove(int index)
{
    if (index >= 0 && index < m_waves.size())
        m_waves.removeAt(index);
}

void WaveList::move(int from, int to)
{
    if (from >= 0 && from < m_waves.size() && to >= 0 && to < m_waves.size())
        m_waves.move(from, to);
}
