#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

struct sqlite3;

// Where every computer ended in every run: one SQLite file per user beside
// the registry store (0600), so that it outlives the settings file being
// edited or replaced. Outcomes are kept by computer name, compared without
// regard to case as the job compares them.
//
// A file that is a link is never opened; a file that is no history of ours
// is reported and left as it is.
class RunHistory
{
public:
    struct Outcome
    {
        QString Computer;
        QString Status; // the final status code: "XS", "XW", "XE", "XC", "XA"
        QDateTime Time; // UTC
        QString Run; // the job name, which names the results folder
        QString Kind; // "migration" or "rollback"
        QString Reason; // the status text, or what ended the computer
    };

    // "history.db" in the folder of the registry store.
    static QString DefaultPath();

    explicit RunHistory(QString path = DefaultPath());
    ~RunHistory();
    RunHistory(const RunHistory &) = delete;
    RunHistory &operator=(const RunHistory &) = delete;

    // Adds the outcomes in one transaction. False with the reason.
    bool record(const QList<Outcome> &outcomes, QString &problem);
    // Every outcome of `computer`, newest first.
    bool outcomesOf(const QString &computer, QList<Outcome> &outcomes, QString &problem);
    // The newest outcome of every computer, by its folded name.
    bool latest(QHash<QString, Outcome> &outcomes, QString &problem);
    // Removes the outcomes older than `before`; how many went.
    bool prune(const QDateTime &before, int &removed, QString &problem);

    QString path() const { return m_path; }

private:
    bool open(bool create, QString &problem);
    bool fail(const QString &doing, QString &problem);

    QString m_path;
    sqlite3 *m_db = nullptr;
};
