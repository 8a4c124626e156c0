#include "common/RunHistory.h"

#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

// The run history as vo status and the console read it: each computer's
// outcomes, newest first, kept private, pruned by date, found by directory
// identity across a rename, a file of the first schema brought up to date,
// and a file that is not ours never touched.
class tst_RunHistory : public QObject
{
    Q_OBJECT

    static RunHistory::Outcome outcome(const char *computer, const char *status, int day, const char *run = "Spring",
        const char *directoryID = "", bool seen = false, const char *kind = "migration")
    {
        return {QString::fromLatin1(computer), QString::fromLatin1(status), at(day), QString::fromLatin1(run), QString::fromLatin1(kind),
            QStringLiteral("why"), QStringLiteral("Pilot"), QString::fromLatin1(directoryID), seen};
    }
    static QDateTime at(int day) { return QDateTime(QDate(2026, 3, day), QTime(12, 0), Qt::UTC); }

private Q_SLOTS:
    void outcomesAcrossRuns()
    {
        TestRegistry registry;
        QCOMPARE(QFileInfo(RunHistory::DefaultPath()).dir(), QFileInfo(registry.path()).dir());
        RunHistory history;
        QString problem;
        QHash<QString, RunHistory::Summary> latest;
        // No history yet: nothing, and nothing wrong.
        QVERIFY(history.summary(latest, problem) && latest.isEmpty() && problem.isEmpty());
        QVERIFY2(history.record({outcome("PC-1", "XE", 1), outcome("PC-2", "XS", 1), outcome("pc-1", "XS", 3, "Spring retry")}, problem),
            qPrintable(problem));
        QCOMPARE(QFileInfo(history.path()).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

        RunHistory again;
        QVERIFY(again.summary(latest, problem));
        QCOMPARE(latest.size(), 2);
        QCOMPARE(latest.value("name:pc-1").latest.Run, QStringLiteral("Spring retry"));
        QCOMPARE(latest.value("name:pc-1").latest.Time, at(3));
        QList<RunHistory::Outcome> ofOne;
        QVERIFY(again.outcomesOf("PC-1", QString(), ofOne, problem));
        QCOMPARE(ofOne.size(), 2);
        QCOMPARE(ofOne.first().Status, QStringLiteral("XS"));
        QCOMPARE(ofOne.last().Status, QStringLiteral("XE"));

        int removed = 0;
        QVERIFY(again.prune(QDateTime(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC), removed, problem));
        QCOMPARE(removed, 2);
        QVERIFY(again.summary(latest, problem) && latest.size() == 1 && latest.contains("name:pc-1"));
    }

    // Once a computer has its directory identity, its outcomes are found by
    // it whatever the directory calls it; the runs from before it had one
    // stay with the name. Rollbacks are no tries, and only a run in which
    // the client reported makes it seen.
    void renamedInTheDirectoryKeepsItsHistory()
    {
        TestRegistry registry;
        QString problem;
        RunHistory history;
        QVERIFY2(
            history.record(
                {outcome("PC-1", "XE", 1), outcome("PC-1", "XE", 2, "Spring", "ABC-1", true), outcome("PC-NEW", "XS", 3, "Retry", "abc-1"),
                    outcome("PC-NEW", "XS", 4, "Undo", "abc-1", false, "rollback"), outcome("PC-NEW", "XS", 4, "Other", "")},
                problem),
            qPrintable(problem));
        QList<RunHistory::Outcome> outcomes;
        QVERIFY(history.outcomesOf("pc-new", "ABC-1", outcomes, problem));
        QStringList runs;
        for (const RunHistory::Outcome &o : std::as_const(outcomes))
            runs << o.Run + QLatin1Char(' ') + o.DirectoryID + QLatin1Char(' ') + o.Wave;
        QCOMPARE(runs, (QStringList {"Other  Pilot", "Undo abc-1 Pilot", "Retry abc-1 Pilot", "Spring ABC-1 Pilot"}));

        QHash<QString, RunHistory::Summary> summaries;
        QVERIFY(history.summary(summaries, problem));
        QCOMPARE(summaries.keys().size(), 3);
        const RunHistory::Summary renamed = summaries.value(RunHistory::KeyOf("PC-NEW", "ABC-1"));
        QCOMPARE(QStringList({renamed.latest.Run, renamed.latest.Kind}), QStringList({"Undo", "rollback"}));
        QCOMPARE(renamed.tries, 2);
        QCOMPARE(renamed.lastSeen, at(2));
        // With the runs under its old name, from before the import.
        const std::optional<RunHistory::Summary> both = RunHistory::SummaryOf(summaries, "pc-1", "ABC-1");
        QVERIFY(both && both->tries == 3 && both->latest.Run == "Undo" && both->lastSeen == at(2));
    }

    // A file of schema 1 (outcomes by name alone) is brought to schema 2 in
    // place, its outcomes kept under the names.
    void firstSchemaMigrated()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("history.db");
        sqlite3 *db = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
        QCOMPARE(sqlite3_exec(db,
                     "PRAGMA application_id = 1448038984; PRAGMA user_version = 1;"
                     "CREATE TABLE outcome (computer TEXT NOT NULL, folded TEXT NOT NULL, status TEXT NOT NULL, time INTEGER NOT NULL,"
                     "  run TEXT NOT NULL, kind TEXT NOT NULL, reason TEXT NOT NULL);"
                     "CREATE INDEX outcome_computer ON outcome (folded, time); CREATE INDEX outcome_time ON outcome (time);"
                     "INSERT INTO outcome VALUES ('PC-1', 'pc-1', 'XE', 0, 'Old', 'migration', 'why');",
                     nullptr, nullptr, nullptr),
            SQLITE_OK);
        sqlite3_close(db);

        QString problem;
        RunHistory history(path);
        QVERIFY2(history.record({outcome("pc-1", "XS", 2, "New", "", true)}, problem), qPrintable(problem));
        QHash<QString, RunHistory::Summary> summaries;
        QVERIFY(history.summary(summaries, problem));
        const RunHistory::Summary one = summaries.value("name:pc-1");
        QVERIFY(summaries.size() == 1 && one.tries == 2 && one.latest.Run == "New" && one.lastSeen == at(2));
        QVERIFY(sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK);
        sqlite3_stmt *version = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &version, nullptr);
        QCOMPARE(sqlite3_step(version), SQLITE_ROW);
        QCOMPARE(sqlite3_column_int(version, 0), 2);
        sqlite3_finalize(version);
        sqlite3_close(db);
    }

    // A link is not followed, a file of another program or a newer console
    // is refused by name, and each is left exactly as it was.
    void filesNotOurs()
    {
        QTemporaryDir dir;
        QString problem;
        const QString target = dir.filePath("target.db");
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target, dir.filePath("link.db")));
        QVERIFY(!RunHistory(dir.filePath("link.db")).record({outcome("PC-1", "XS", 1)}, problem));
        QVERIFY2(problem.contains("is not a plain file"), qPrintable(problem));
        QCOMPARE(QFileInfo(target).size(), 0);

        QFile foreign(dir.filePath("foreign.db"));
        QVERIFY(foreign.open(QIODevice::WriteOnly) && foreign.write(QByteArray(4096, 'x')) == 4096);
        foreign.close();
        QVERIFY(!RunHistory(foreign.fileName()).record({outcome("PC-1", "XS", 1)}, problem));
        QVERIFY2(!problem.isEmpty(), "a file that is no database is refused");
        QCOMPARE(foreign.size(), 4096);

        const QString newer = dir.filePath("newer.db");
        {
            RunHistory history(newer);
            QVERIFY(history.record({outcome("PC-1", "XS", 1)}, problem));
        }
        sqlite3 *db = nullptr;
        QVERIFY(sqlite3_open(QFile::encodeName(newer).constData(), &db) == SQLITE_OK);
        QVERIFY(sqlite3_exec(db, "PRAGMA user_version = 3;", nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_close(db);
        QHash<QString, RunHistory::Summary> latest;
        QVERIFY(!RunHistory(newer).summary(latest, problem));
        QVERIFY2(problem.contains("newer console (schema 3)"), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(tst_RunHistory)
#include "tst_RunHistory.moc"
