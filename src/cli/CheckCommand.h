#pragma once

#include <QStringList>

class QTextStream;
class ReadinessReport;

// `vo check FILE [--ping] [--html OUT] [--csv OUT] [--passphrase-file F]`:
// the readiness report of a settings file (Tools > Readiness Report): a
// summary, then every fault of every computer. With --ping every computer is
// pinged and the listener port opened for a moment as well.
class CheckCommand
{
public:
    enum ExitStatus : int {
        Ready = 0,
        Failed = 1, // errors, a listener that cannot listen, or a file problem
        Warnings = 2, // warnings only, or computers that did not answer
    };

    CheckCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "check".
    int run(const QStringList &arguments);

    static QString usage();
    static int exitStatus(const ReadinessReport &report);

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
