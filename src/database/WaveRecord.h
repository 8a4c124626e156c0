#pragma once

#include <QDateTime>
#include <QString>

// One wave of a job: a named set of computers that the engine starts
// together, after the waves before it, no earlier than NotBefore.
struct WaveRecord
{
    // Unique among the job's waves without regard to case.
    QString Name;
    // UTC; invalid when the wave may start as soon as its turn comes.
    QDateTime NotBefore;
    // Computers of the wave in progress (from their delivery to their
    // collection) at the same time, 1 to MaxTransferors; 0: no cap of its
    // own, the transferors are the only limit.
    int Concurrency = 0;
    // The wave, and every wave after it, is stopped when more than this share
    // of its computers has failed; -1: never.
    int FailurePercent = -1;
};
