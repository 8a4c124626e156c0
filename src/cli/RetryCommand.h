#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>

class QTextStream;

// `vo retry FILE --from RESULTS --into NEW [--job NAME]`: a new settings
// file with the groups and settings of FILE and only the computers a run
// did not finish (File > New Job from Unfinished Computers). RESULTS is the
// run's results folder, whose client status file holds every status the
// engine reported, or a migration state file (File > Save Migration State).
class RetryCommand
{
public:
    enum ExitStatus : int {
        Written = 0,
        Failed = 1,
        NothingToDo = 2, // every computer finished; no file written
    };

    RetryCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "retry".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);
    // The last statuses of RESULTS by NameKey; false with the problem.
    bool readStatuses(const QString &results, const QString &passphrase, const QSet<QString> &computers,
        QHash<QString, QString> &statuses, QString &problem);

    QTextStream &m_out;
    QTextStream &m_err;
};
