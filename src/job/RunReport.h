#pragma once

#include "engine/ClientStatus.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <array>

class ComputerDB;

// The outcome of a migration run in a form that can be handed to others:
// one row per computer of the run with its group, last status and newest
// client log, and the computers counted by how they ended. The same report
// is written by File > Save Run Report and by `vo run --report`.
class RunReport
{
public:
    // How a computer ended, as the progress pane counts it.
    using Outcome = ClientStatus::Category;
    static constexpr int OutcomeCount = ClientStatus::CategoryCount;

    struct Row
    {
        QString Computer;
        // Group names from the top down, separated by "\" as in a directory
        // path; empty directly under "All Computers".
        QString GroupPath;
        QString StatusCode; // empty when the computer never reported
        QString StatusText;
        // The newest of the computer's client logs in the results folder
        // (computer + "-" + 14-digit stamp + ".log", last by name), or empty.
        QString ClientLog;
        Outcome Result = Outcome::NotStarted;
    };

    // `computerIds` are the computers of the run in client order, `statuses`
    // their last status codes; client logs are looked for in
    // `resultsFolder`.
    static RunReport Build(
        const ComputerDB &database, const QList<qint32> &computerIds, const QMap<int, QString> &statuses, const QString &resultsFolder);

    static QString OutcomeCaption(Outcome outcome);

    QString JobName;
    QDateTime Time;
    QString ResultsFolder;
    // The run was a rehearsal: the title and every CSV row say so.
    bool Rehearsal = false;
    // The run reversed a migration: the title and every CSV row say so.
    bool Rollback = false;
    QList<Row> Rows;
    std::array<int, OutcomeCount> Counts {};

    // Every row but the successful ones, in client order.
    QList<Row> Unsuccessful() const;

    QByteArray Csv() const;
    QByteArray Html() const;

    // Writes both; on failure `problem` says which file and why.
    bool Write(const QString &csvPath, const QString &htmlPath, QString *problem) const;

    static const QString NoStatusText;
};
