#pragma once

#include <QStringList>

class QTextStream;

// `vo config show` and `vo config set NAME VALUE`: the console's
// configuration without the console. `set` checks the value as the
// configuration dialog checks its field, with the same message, and writes
// nothing when it fails. Exit status 0 when done, 1 otherwise with the
// reason on standard error.
class ConfigCommand
{
public:
    ConfigCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "config".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int show();
    int set(const QString &name, const QString &value);
    int failure(const QString &message);

    QTextStream &m_out;
    QTextStream &m_err;
};
