#include "common/RunHistory.h"
#include "database/ComputerDB.h"
#include "job/modRetry.h"
#include "settingsfile/SettingsFile.h"

#include "engine/EngineFixture.h"
#include "job/JobFixture.h"
#include "support/VoProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace JobFixture;

class TestVoReadiness : public QObject
{
    Q_OBJECT

    EngineFixture m_fixture;
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    QString job(const QString &name, const std::function<void(ComputerDB &)> &change = {})
    {
        return saveJob(path(name), QStringLiteral("Spring"), change);
    }

    QString write(const QString &name, const QByteArray &text) { return writeFile(path(name), text); }

private Q_SLOTS:
    void initTestCase()
    {
        qunsetenv("VARNO_OSK_SIMULATION");
        QVERIFY(m_dir.isValid());
    }

    // Every fault of every computer, not the first alone, with the exit
    // status of the worst; the files it writes.
    void check()
    {
        const QString broken = job("broken.vos.json", [](ComputerDB &db) {
            GlobalSettingsPtr sales = global(db).Clone();
            sales->DestinationDCName.clear();
            sales->MinFreeSpace = -7;
            db.AddSettings(sales, 0, QStringLiteral("F"));
            db.SetComputerUserList(2, UserProfiles::create());
        });
        VoRun run = vo({"check", broken, "--html", path("r.html"), "--csv", path("r.csv")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.startsWith("Readiness of \"Spring\": 3 computers\n  Ready: 0\n  Warnings only: 1\n  With errors: 2\n"
                                    "Faults: 4 errors, 2 warnings\n"),
            run.out.constData());
        QVERIFY(run.out.contains("\nPC-2 in Sales\n  error 102: 'Destination DC' is invalid.\n    node: Sales; settings from: Sales\n"
                                 "  error 300: "));
        QVERIFY(run.out.contains("\nPC-3\n  warning 106: "));
        QVERIFY(QFile(path("r.html")).size() > 0);
        QFile csv(path("r.csv"));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        QCOMPARE(csv.readAll().count("\r\n"), 7);

        run = vo({"check", job("warning.vos.json", [](ComputerDB &db) { db.SetComputerUserList(2, UserProfiles::create()); })});
        QCOMPARE(run.status, 2);
        run = vo({"check", job("sound.vos.json")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.endsWith("Faults: 0 errors, 0 warnings\n"));
        run = vo({"check", write("damaged.vos.json", "{")});
        QCOMPARE(run.status, 1);
    }

    // After a run with one error and one warning, the new job keeps the
    // computer that did not finish, with the groups and settings; the old
    // file stays as it was. A migration state file serves as well.
    void retry()
    {
        const QString file = job("retry.vos.json", [](ComputerDB &db) {
            GlobalSettingsPtr sales = global(db).Clone();
            sales->SourceDCName = QStringLiteral("SALES-DC");
            db.AddSettings(sales, 0, QStringLiteral("F"));
        });
        QFile original(file);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        original.close();
        VoRun run = vo({"run", file, "--profile", write("p.txt", "step_ms = 0\nerror = PC-1\nwarning = PC-2\n"), "--job", "Spring"});
        QCOMPARE(run.status, 1);

        // That run was a rehearsal: nothing finished, whatever its statuses say.
        const QString results = m_fixture.logs.filePath(QStringLiteral("Spring"));
        run = vo({"retry", file, "--from", results, "--into", path("rehearsed.vos.json")});
        QVERIFY2(run.status == 0 && run.out.contains("no computer was migrated") && run.out.contains("Kept 3 computers"), run.out.constData());
        // Results as an engine that migrates leaves them.
        QVERIFY(QFile::remove(results + "/rehearsal.txt"));
        run = vo({"retry", file, "--from", results, "--into", path("new.vos.json")});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("\"" + results.toUtf8() + "\" matched 3 of the 3 computers.\nKept 1 computer that did not finish, of 3, in "),
            run.out.constData());
        QVERIFY(run.out.endsWith(" as job \"Spring retry\"; 2 finished and were left out.\n"));
        run = vo({"tree", path("new.vos.json")});
        QVERIFY2(run.out.contains("Sales") && run.out.contains("PC-1") && !run.out.contains("PC-2") && !run.out.contains("PC-3"),
            run.out.constData());
        ComputerDB loaded;
        QVERIFY(SettingsFile().Load(path("new.vos.json"), QString(), loaded).ok());
        QCOMPARE(loaded.GetSettings(QStringLiteral("F"), 0)->SourceDCName, QStringLiteral("SALES-DC"));
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), before);

        // The same from a migration state; here nothing is left to do.
        ComputerDB state;
        QVERIFY(SettingsFile().Load(file, QString(), state).ok());
        SettingsFile::SaveOptions options;
        options.LastStatus = QMap<int, QString> {{0, "XS"}, {1, "XW"}, {2, "XS"}};
        QVERIFY(SettingsFile().Save(state, path("state.vos.json"), options).ok());
        run = vo({"retry", file, "--from", path("state.vos.json"), "--into", path("none.vos.json")});
        QCOMPARE(run.status, 2);
        QVERIFY(!QFile::exists(path("none.vos.json")));
        run = vo({"retry", file, "--from", path("state.vos.json"), "--into", file});
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains("already exists"));

        // Another job's results name none of these computers; a file without
        // a job name gives its own; a status file larger than any is refused unread.
        QVERIFY(QDir().mkpath(path("other")) && !write("other/varnoosk.sts", "2024-01-02 03:04:05\t1\tOTHER-1\tXS\r\n").isEmpty());
        run = vo({"retry", file, "--from", path("other"), "--into", path("other.vos.json")});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("None of the 3 computers of"), run.err.constData());
        options = {};
        QVERIFY(SettingsFile().Save(state, path("nameless.vos.json"), options).ok());
        run = vo({"retry", path("nameless.vos.json"), "--from", results, "--into", path("named.vos.json")});
        QVERIFY2(run.out.endsWith(" as job \"nameless retry\"; 2 finished and were left out.\n"), run.out.constData());
        QFile huge(path("other/varnoosk.sts"));
        QVERIFY(huge.resize(modRetry::MaxStatusFileBytes + 1));
        run = vo({"retry", file, "--from", path("other"), "--into", path("other.vos.json")});
        QVERIFY2(run.status == 1 && run.err.contains("larger than 1024 MB"), run.err.constData());
    }

    // A rollback starts only on results it can reverse: never a
    // rehearsal's or a rollback's, never a computer the migration did not
    // reach; none of them makes a results folder of its own.
    void rollbackRefusals()
    {
        const QString file = job("undo.vos.json");
        QCOMPARE(vo({"run", file, "--profile", write("fast.txt", "step_ms = 0\n"), "--job", "Undo"}).status, 0);
        const QString results = m_fixture.logs.filePath(QStringLiteral("Undo"));
        const auto refused = [&](const QStringList &arguments, const char *why) {
            const VoRun run = vo(QStringList {"rollback", file} + arguments);
            return run.status == 1 && run.err.contains(why) ? QByteArray() : run.out + run.err;
        };
        QCOMPARE(refused({"--from", results}, "holds the results of a rehearsal"), QByteArray());
        QVERIFY(QFile::remove(results + "/rehearsal.txt"));
        QCOMPARE(refused({"--from", results, "--computer", "PC-1", "--computer", "PC-9"}, "did not reach this computer: PC-9."), QByteArray());
        QCOMPARE(refused({"--from", results, "--join-account", "OLDCORP\\rejoin"}, "go together"), QByteArray());
        QCOMPARE(refused({"--from", results, "--forget", "--join-account", "a", "--join-password-file", write("pw", "x\n")}, "joins no domain"),
            QByteArray());
        QVERIFY(QDir().mkpath(path("other")) && !write("other/varnoosk.sts", "2024-01-02 03:04:05\t1\tOTHER-1\tXS\r\n").isEmpty());
        QCOMPARE(refused({"--from", path("other")}, "None of the 3 computers"), QByteArray());
        QVERIFY(!writeFile(results + "/rollback.txt", "").isEmpty());
        QCOMPARE(refused({"--from", results}, "holds the results of a rollback"), QByteArray());
        const VoRun retry = vo({"retry", file, "--from", results, "--into", path("again.vos.json")});
        QVERIFY2(retry.status == 1 && retry.err.contains("holds the results of a rollback"), retry.err.constData());
        QVERIFY(!QFileInfo::exists(m_fixture.logs.filePath(QStringLiteral("Undo rollback"))));
    }

    // vo status: the newest outcome of each computer of the file across
    // runs (found by its directory identity under the name it had then),
    // every outcome of one, the CSV, one wave of the file, and pruning by date.
    void statusAcrossRuns()
    {
        const QString file = job("status.vos.json", [](ComputerDB &db) {
            db.AddWave({QStringLiteral("Pilot"), {}, 0, -1});
            db.AddWave({QStringLiteral("Rest"), {}, 0, -1});
            db.SetComputerWave(0, QStringLiteral("Pilot"));
            db.SetComputerDirectoryID(0, QStringLiteral("GUID-1"));
            db.SetComputerWave(1, QStringLiteral("Rest"));
        });
        QString problem;
        const auto at = [](int day) { return QDateTime(QDate(2026, 3, day), QTime(12, 0), Qt::UTC); };
        QVERIFY2(RunHistory().record({{"PC-1", "XE", at(1), "Spring", "migration", "Migration complete with errors", "", "", false},
                                         {"PC-OLD", "XS", at(2), "Spring retry", "migration", "Migration successful", "", "guid-1", true},
                                         {"PC-2", "XS", at(2), "Spring", "rollback", "Migration successful", "Rest", "", false}},
                     problem),
            qPrintable(problem));
        VoRun run = vo({"status", file});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains("PC-1 [Pilot]: XS Migration successful (migration \"Spring retry\", ")
                && run.out.contains("), 2 migrations, client last seen ") && run.out.contains("PC-2 [Rest]: XS ")
                && run.out.contains("(rollback \"Spring\"") && run.out.contains("PC-3: never run\n"),
            run.out.constData());
        run = vo({"status", file, "--wave", "pilot", "--csv"});
        QVERIFY2(run.status == 0 && run.out.count("\r\n") == 2 && run.out.contains("\r\nPC-1,Pilot,XS,"), run.out.constData());
        run = vo({"status", file, "--wave", "Nobody"});
        QVERIFY2(run.status == 1 && run.err.contains("The job has no wave named \"Nobody\"."), run.err.constData());
        run = vo({"status", file, "--computer", "pc-1", "--csv"});
        QCOMPARE(run.out.count("\r\n"), 3);
        QVERIFY2(run.out.indexOf("Spring retry") < run.out.indexOf(",Spring,"), run.out.constData());
        run = vo({"status", "--prune-before", "2026-03-02"});
        QVERIFY2(run.status == 0 && run.out.startsWith("Removed 1 outcome older than 2026-03-02"), run.out.constData());
        QCOMPARE(vo({"status", "--prune-before", "March"}).status, 1);
    }

    // vo wave: waves added in order (one in front of another), changed and
    // renamed with their computers, given to a group and a computer, and
    // removed; the file keeps them. A refused wave changes nothing.
    void wavesOfAFile()
    {
        const QString file = job("waves.vos.json");
        QCOMPARE(vo({"wave", "add", file, "Rest"}).status, 0);
        QCOMPARE(vo({"wave", "add", file, "Pilot", "--before", "rest", "--concurrency", "5", "--failure-percent", "10"}).status, 0);
        QCOMPARE(vo({"wave", "assign", file, "Pilot", "--group", "All Computers\\Sales"}).status, 0);
        VoRun run = vo({"wave", "assign", file, "rest", "--computer", "pc-2"});
        QVERIFY2(run.status == 0 && run.out.startsWith("1 computer given to wave \"Rest\"."), run.out.constData());
        QCOMPARE(vo({"wave", "set", file, "Rest", "--not-before", "2026-12-09T21:00+01:00", "--rename", "Night"}).status, 0);
        run = vo({"wave", "list", file});
        QVERIFY2(run.out.startsWith("1. Pilot: 1 computer, at its turn, 5 at a time, stopped when more than 10 % fail\n2. Night: 1 computer, "
                                    "not before ")
                && run.out.endsWith("In no wave (last): 1 computer\n"),
            run.out.constData());
        ComputerDB db;
        QVERIFY(SettingsFile().Load(file, QString(), db).ok());
        QCOMPARE(db.Waves().at(1).NotBefore, QDateTime(QDate(2026, 12, 9), QTime(20, 0), Qt::UTC));
        QCOMPARE(db.Computers(1)->Wave, QStringLiteral("Night"));

        for (const QStringList &refused : {QStringList {"add", file, "PILOT"}, {"set", file, "Pilot", "--concurrency", "51"},
                 {"assign", file, "Pilot", "--group", "Nowhere"}, {"remove", file, "Day"}, {"set", file, "Night", "--not-before", "soon"}}) {
            run = vo(QStringList {"wave"} + refused);
            QVERIFY2(run.status == 1 && !run.err.isEmpty(), qPrintable(refused.join(' ')));
        }
        QVERIFY(vo({"wave", "add", file, "PILOT"}).err.contains("There is already a wave named \"Pilot\"."));
        run = vo({"wave", "remove", file, "pilot"});
        QVERIFY2(run.status == 0 && run.out.startsWith("Wave \"Pilot\" removed; its computers are in no wave now."), run.out.constData());
        QVERIFY(vo({"wave", "list", file}).out.endsWith("In no wave (last): 2 computers\n"));
    }
};

QTEST_GUILESS_MAIN(TestVoReadiness)
#include "tst_voReadiness.moc"
