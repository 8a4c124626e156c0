#pragma once

#include <QByteArray>
#include <QStringList>

// Running one of OpenSSH's programs to its end within a time limit, with
// the environment given and nothing else, its output kept up to a cap.
namespace modSshRun {

struct Result
{
    int exitCode = -1; // -1: did not start, timed out or killed
    bool timedOut = false;
    QByteArray output;
    QByteArray error;
};

// argv[0] is the program. Output beyond `cap` bytes a stream is dropped.
Result Run(const QStringList &argv, const QStringList &environment, const QByteArray &input, int timeoutMs, qint64 cap = 1024 * 1024);

} // namespace modSshRun
