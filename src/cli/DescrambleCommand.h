#pragma once

#include <QStringList>

class QTextStream;

// `vo descramble [--show-passwords] FILE`: prints the plain text of a
// client's scrambled configuration file ("varnoosk.cfg"), one "KEY=value"
// line each, read back the way a client reads it; passwords masked unless
// asked for. Exit status 0 when the file could be read
// back, 1 otherwise with the reason on standard error.
class DescrambleCommand
{
public:
    DescrambleCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "descramble".
    int run(const QStringList &arguments);

    static QString usage();

private:
    QTextStream &m_out;
    QTextStream &m_err;
};
