#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

struct sqlite3;

// Where every computer ended in every run: one SQLite file per user beside
// the registry store (0600), so that it outlives the settings file being
// edited or replaced. Outcomes are kept by identity: the directory's
// identity of the computer when it has one, so that a computer renamed in
// the directory keeps its history, else its name, compared without regard
// to case as the job compares them.
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
        QString Wave; // the computer's wave in that run; empty for none
        QString DirectoryID; // empty for a computer not from a directory
        bool Seen = false; // the client itself reported during that run
    };

    // Where each computer stands across runs.
    struct Summary
    {
        Outcome latest;
        int tries = 0; // migrations, rollbacks not counted
        QDateTime lastSeen; // the newest outcome with Seen; invalid when none
    };

    // The key a computer's outcomes are kept under: "id:" and the directory
    // identity in lower case when there is one, else "name:" and the
    // case-folded name.
    static QString KeyOf(const QString &name, const QString &directoryID);
    // One computer's summary out of `summaries`: that of its identity and,
    // when it has a directory identity, that of its name from the runs
    // before it had one, together; nullopt when it never ran.
    static std::optional<Summary> SummaryOf(const QHash<QString, Summary> &summaries, const QString &name, const QString &directoryID);

    // "history.db" in the folder of the registry store.
    static QString DefaultPath();

    explicit RunHistory(QString path = DefaultPath());
    ~RunHistory();
    RunHistory(const RunHistory &) = delete;
    RunHistory &operator=(const RunHistory &) = delete;

    // Adds the outcomes in one transaction. False with the reason.
    bool record(const QList<Outcome> &outcomes, QString &problem);
    // Every outcome of the computer, newest first: those with its directory
    // identity, and those without any identity under its name (from before
    // it had one).
    bool outcomesOf(const QString &computer, const QString &directoryID, QList<Outcome> &outcomes, QString &problem);
    // Every computer's summary by KeyOf, in one pass over the history.
    bool summary(QHash<QString, Summary> &out, QString &problem);
    // Removes the outcomes older than `before`; how many went.
    bool prune(const QDateTime &before, int &removed, QString &problem);

    QString path() const { return m_path; }

private:
    bool open(bool create, QString &problem);
    // Brings a file of schema 1 to the current one in one transaction.
    bool migrate(QString &problem);
    bool fail(const QString &doing, QString &problem);

    QString m_path;
    sqlite3 *m_db = nullptr;
};
