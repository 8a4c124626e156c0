#pragma once

#include "enginehost/TransferorTask.h"

#include <QFile>
#include <QString>

#include <cstdio>

// A transferor as a process of its own: it reads tasks, one line each, from
// its standard input, runs their steps in order and writes each task's
// outcome as one line on its standard output, until its input ends. It
// serves one client at a time, and it blocks while a step runs: an engine
// that must stop a client at once ends the transferor and starts another.
//
// Each step goes into the transferor's own log before it runs, and its end
// after: the program and its arguments (never a secret: those travel on
// standard input), its exit status and the first line of what it said on
// standard error.
class TransferorWorker
{
public:
    // Keeps at most this much of a step's standard error, and of its output
    // when that goes to no file.
    static constexpr qsizetype TailBytes = 16 * 1024;

    TransferorWorker(int number, const QString &logPath);

    // Returns the process's exit status: 0 when its input ended.
    int exec(std::FILE *input, std::FILE *output);

    TransferorOutcome run(const TransferorTask &task);

private:
    TransferorStepResult runStep(const TransferorStep &step, const QStringList &environment);
    void log(const QString &text);

    int m_number;
    QFile m_log;
};
