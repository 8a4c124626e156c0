#include "common/RunHistory.h"

#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

// The run history as vo status and the console read it: each computer's
// outcomes, newest first, kept private, pruned by date, and a file that is
// not ours never touched.
class tst_RunHistory : public QObject
{
    Q_OBJECT

    static RunHistory::Outcome outcome(const char *computer, const char *status, int day, const char *run = "Spring")
    {
        return {QString::fromLatin1(computer), QString::fromLatin1(status), QDateTime(QDate(2026, 3, day), QTime(12, 0), Qt::UTC),
            QString::fromLatin1(run), QStringLiteral("migration"), QStringLiteral("why")};
    }

private Q_SLOTS:
    void outcomesAcrossRuns()
    {
        TestRegistry registry;
        QCOMPARE(QFileInfo(RunHistory::DefaultPath()).dir(), QFileInfo(registry.path()).dir());
        RunHistory history;
        QString problem;
        QHash<QString, RunHistory::Outcome> latest;
        // No history yet: nothing, and nothing wrong.
        QVERIFY(history.latest(latest, problem) && latest.isEmpty() && problem.isEmpty());
        QVERIFY2(history.record({outcome("PC-1", "XE", 1), outcome("PC-2", "XS", 1), outcome("pc-1", "XS", 3, "Spring retry")}, problem),
            qPrintable(problem));
        QCOMPARE(QFileInfo(history.path()).permissions(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser);

        RunHistory again;
        QVERIFY(again.latest(latest, problem));
        QCOMPARE(latest.size(), 2);
        QCOMPARE(latest.value("pc-1").Run, QStringLiteral("Spring retry"));
        QCOMPARE(latest.value("pc-1").Time, QDateTime(QDate(2026, 3, 3), QTime(12, 0), Qt::UTC));
        QList<RunHistory::Outcome> ofOne;
        QVERIFY(again.outcomesOf("PC-1", ofOne, problem));
        QCOMPARE(ofOne.size(), 2);
        QCOMPARE(ofOne.first().Status, QStringLiteral("XS"));
        QCOMPARE(ofOne.last().Status, QStringLiteral("XE"));

        int removed = 0;
        QVERIFY(again.prune(QDateTime(QDate(2026, 3, 2), QTime(0, 0), Qt::UTC), removed, problem));
        QCOMPARE(removed, 2);
        QVERIFY(again.latest(latest, problem) && latest.size() == 1 && latest.contains("pc-1"));
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
        QVERIFY(sqlite3_exec(db, "PRAGMA user_version = 2;", nullptr, nullptr, nullptr) == SQLITE_OK);
        sqlite3_close(db);
        QHash<QString, RunHistory::Outcome> latest;
        QVERIFY(!RunHistory(newer).latest(latest, problem));
        QVERIFY2(problem.contains("newer console (schema 2)"), qPrintable(problem));
    }
};

QTEST_GUILESS_MAIN(tst_RunHistory)
#include "tst_RunHistory.moc"
