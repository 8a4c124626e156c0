#pragma once

#include "common/ConsoleConfig.h"
#include "database/WaveRecord.h"

#include <QList>
#include <QString>

// The job's waves in the order the engine runs them. Computers name the wave
// they belong to (ComputerRecord::Wave); the list only knows the waves.
class WaveList
{
public:
    // The longest wave name, and the most waves a job may have.
    static constexpr int MaxNameLength = 64;
    static constexpr int MaxWaves = 1000;
    // A wave runs no more computers at a time than the engine has transferors.
    static constexpr int MaxConcurrency = ConsoleConfig::MaxTransferorsLimit;

    int size() const { return int(m_waves.size()); }
    bool isEmpty() const { return m_waves.isEmpty(); }
    const WaveRecord &at(int index) const { return m_waves.at(index); }
    const QList<WaveRecord> &all() const { return m_waves; }

    // The index of the wave of that name, without regard to case; -1 when none.
    int indexOf(const QString &name) const;
    // The name as the list spells it; empty when there is no such wave.
    QString canonicalName(const QString &name) const;

    // Why this wave may not stand in the list at `index` (-1 for a new one):
    // a name that is empty, too long, or taken; a cap or a threshold out of
    // range; too many waves. Empty when it may.
    QString problemWith(const WaveRecord &wave, int index = -1) const;

    // Appends (or, at `position` 0 to size, inserts) a wave that problemWith
    // allows; false otherwise.
    bool add(const WaveRecord &wave, int position = -1);
    bool replace(int index, const WaveRecord &wave);
    void remove(int index);
    void move(int from, int to);
    void clear() { m_waves.clear(); }

private:
    QList<WaveRecord> m_waves;
};
