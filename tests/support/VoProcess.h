#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// One finished run of a command-line program: its exit status (-1 when it
// would not start, crashed or hung), what it wrote to stdout and to stderr.
struct VoRun
{
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs the program to the end with input on its stdin; stdin is closed so a
// prompt reads end-of-input instead of waiting.
VoRun runProgram(const QString &program, const QStringList &arguments, const QByteArray &input = QByteArray());

// Writes `bytes` to `path` for a command to read; the path, or empty text
// when the file cannot be written.
QString writeFile(const QString &path, const QByteArray &bytes);

#ifdef VO_EXECUTABLE
inline VoRun vo(const QStringList &arguments, const QByteArray &input = QByteArray())
{
    return runProgram(QStringLiteral(VO_EXECUTABLE), arguments, input);
}
#endif
