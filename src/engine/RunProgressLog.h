#pragma once

#include <QObject>
#include <QString>

#include <vector>

class ComputerDB;
class QXEInterface;

// The progress log of a run as the console keeps it: one line per client
// status change (the computer's tree text, ": ", the status text), the
// engine interface's progress lines, and "Processing complete." at the end.
// It also counts how the clients ended, for whoever reports the run.
//
// Every event costs the same whatever the number of clients: the name comes
// from the database by ID, the last status is kept in an array by ID.
class RunProgressLog : public QObject
{
    Q_OBJECT

public:
    struct Tally
    {
        int Successful = 0; // "XS"
        int Warnings = 0; // "XW"
        int Errors = 0; // "XE"
        int Canceled = 0; // "XC"
        int Aborted = 0; // "XA"

        int Ended() const { return Successful + Warnings + Errors + Canceled + Aborted; }
    };

    RunProgressLog(const ComputerDB &database, QXEInterface &engine, QObject *parent = nullptr);

    static const QString CompleteLine; // "Processing complete."

    const Tally &Clients() const { return m_tally; }
    // The last status code of a computer; empty before its first.
    QString LastStatus(int computerId) const;

Q_SIGNALS:
    // A line for the progress log.
    void Line(const QString &text);

private:
    void statusChanged(int computerId, const QString &code);

    const ComputerDB &m_database;
    std::vector<QString> m_lastStatus;
    Tally m_tally;
};
