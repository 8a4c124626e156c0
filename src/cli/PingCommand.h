#pragma once

#include <QStringList>

class QTextStream;

// `vo ping HOST... [--parallel N]` and `vo ping-test FILE [--parallel N]
// [--passphrase-file F]`: the console's ping test over the hosts given, or
// over every computer of a settings file in the tree's order, printing the
// lines the console writes into its progress log. Exit status 0 when every
// computer answered, 2 when one did not, 1 for a usage error or a file that
// cannot be loaded.
class PingCommand
{
public:
    enum ExitStatus : int {
        AllAnswered = 0,
        Failed = 1,
        SomeSilent = 2,
    };

    PingCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "ping".
    int ping(const QStringList &arguments);
    // `arguments` are those after "ping-test".
    int pingTest(const QStringList &arguments);

    static QString pingUsage();
    static QString pingTestUsage();

private:
    int usageError(const QString &problem, const QString &usage);
    // The number after --parallel, else the configuration's; 0 when it is
    // out of range.
    static int inFlight(const QString &text);
    int run(const QStringList &names, int inFlight);

    QTextStream &m_out;
    QTextStream &m_err;
};
