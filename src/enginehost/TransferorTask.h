#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

// One piece of a transferor's work for one client: a few programs run one
// after the other (ssh and scp, in a real run), stopping at the first that
// fails. The engine plans the steps; the transferor only runs them, so that
// what a transferor does is always written down before it does it.
struct TransferorStep
{
    QString name; // "version", "copy", "start", "collect" ...
    QStringList argv; // never a secret: those travel in `input`
    QByteArray input; // written to the program's standard input, then closed
    int timeoutSeconds = 60;
    // When set, the program's output goes to this file (made new, never
    // through a link), cut at `outputCap` bytes; else its tail is kept.
    QString outputFile;
    qint64 outputCap = 16 * 1024 * 1024;
    // A step whose failure is an answer, not a fault ("is the service there?").
    bool mayFail = false;
};

struct TransferorStepResult
{
    QString name;
    int exitCode = -1; // -1: did not start, or killed
    bool timedOut = false;
    QByteArray output; // the tail of standard output, when it went to no file
    QByteArray error; // the tail of standard error
};

struct TransferorTask
{
    int id = 0;
    int client = 0;
    QString computer;
    QList<TransferorStep> steps;
    QStringList environment; // the whole environment of each program, "NAME=value"
};

struct TransferorOutcome
{
    int id = 0;
    int client = 0;
    bool ok = false; // every step that may not fail succeeded
    bool workerDied = false; // the transferor ended while it ran the task
    QList<TransferorStepResult> results;
};
