#pragma once

#include <QString>

#include <functional>

class ComputerDB;
class MigrationRun;
class QTextStream;
class RunReport;

// A run on the terminal, as vo run and vo rollback show it: every line of
// the progress log, the engine's messages, Ctrl-C (once cancels the
// computers not yet started, twice aborts, a third time ends vo), and at
// the end the counts, the computers that did not succeed and the report.
class RunTerminal
{
public:
    RunTerminal(QTextStream &out, QTextStream &err);

    // Calls `start`, which starts `migration`, prints its lines and waits
    // until it is complete or stopped; then prints its counts and the
    // computers that did not succeed, and writes the run report into
    // `reportFolder` unless that is empty. The exit status: 0 every client
    // succeeded, 2 some ended with warnings and none worse, 1 otherwise
    // (also for a run that did not complete or a report not written).
    int follow(ComputerDB &database, MigrationRun &migration, const std::function<void()> &start, const QString &reportFolder);

private:
    // The closing lines naming the computers that did not succeed.
    void printUnsuccessful(const RunReport &report);
    // report.csv and report.html into `folder`; false after saying why not.
    bool writeReport(const RunReport &report, const QString &folder);

    QTextStream &m_out;
    QTextStream &m_err;
};
