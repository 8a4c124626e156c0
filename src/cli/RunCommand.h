#pragma once

#include "engine/EngineJournal.h"

#include <QStringList>

class ComputerDB;
class JobFile;
class QTextStream;

// `vo run FILE [--ignore-warnings] [--job NAME] [--append] [--profile P]
// [--listener ADDRESS] [--passphrase-file F] [--report DIR]`: a migration
// without the window. Checks the file as Start Migration does (a results
// folder with logs of an earlier run needs --append), then runs the job on
// the engine (the simulated engine on this machine) and prints every line
// the console's progress log would show, ending with "Processing
// complete.", the counts and the computers that did not succeed.
// Ctrl-C once cancels the computers not yet started, a second time aborts
// the run, a third ends the program.
//
// Exit status: 0 every client ended "Migration successful"; 2 a validation
// warning stopped the run, or every client ended successful or with
// warnings; 1 otherwise (validation error, errors, cancelled or aborted
// clients, an engine failure, a report that could not be written).
class RunCommand
{
public:
    RunCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "run".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);
    int resume(JobFile &file, const QString &resumeOption, const QString &reportOption);
    int deliverTheRest(ComputerDB &database, const QString &results, const QString &report);
    // How each computer of a run that has ended ended; the exit status.
    int ended(const EngineJournal::Contents &journal);

    QTextStream &m_out;
    QTextStream &m_err;
};
