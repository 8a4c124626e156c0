#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"

#include "support/TestRegistry.h"
#include "support/VoProcess.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <sqlite3.h>

#include <memory>

namespace {

const QString kAppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");
const QByteArray kAppPath = "HKEY_CURRENT_USER\\Software\\Brindlewood\\Varno-Osk";
const QByteArray kDone = "The operation completed successfully.\n";
const QByteArray kNotFound = "ERROR: The system was unable to find the specified registry key or value.\n";

// `vo reg` with `arguments`, where APP stands for the console's key.
QStringList reg(const QString &arguments)
{
    QStringList list = QProcess::splitCommand(QString(arguments).replace(QStringLiteral("APP"), kAppKey));
    list.prepend(QStringLiteral("reg"));
    return list;
}

VoRun regRun(const char *arguments, const QByteArray &input = QByteArray())
{
    return vo(reg(QString::fromLatin1(arguments)), input);
}

} // namespace

class TestVoReg : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestRegistry> m_registry;

    void add(const char *arguments)
    {
        const VoRun run = vo(reg(QStringLiteral("add APP") + QLatin1String(arguments) + QStringLiteral(" /f")));
        QVERIFY2(run.status == 0, run.err.constData());
        QCOMPARE(run.out, kDone);
    }

private Q_SLOTS:
    void init() { m_registry = std::make_unique<TestRegistry>(); }
    void cleanup() { m_registry.reset(); }

    void queryListsValuesThenSubkeys()
    {
        add(" /v Zeta /d last");
        add(" /v Alpha /d first");
        add("\\Import /v zeta /d 2");
        add("\\Engine");

        const QByteArray &app = kAppPath;
        const QByteArray values = "\n" + app + "\n    Zeta    REG_SZ    last\n    Alpha    REG_SZ    first\n\n";
        QCOMPARE(regRun("query APP").out, values + app + "\\Engine\n" + app + "\\Import\n");
        QVERIFY(regRun("query APP /ve").out.contains("    (Default)    REG_SZ    (value not set)\n"));
        QCOMPARE(regRun("query APP /v alpha").out, "\n" + app + "\n    Alpha    REG_SZ    first\n\n");
        // With /s every key below follows with its values; /v searches them all.
        QCOMPARE(regRun("query APP /s").out, values + app + "\\Engine\n\n" + app + "\\Import\n    zeta    REG_SZ    2\n\n");
        QVERIFY(regRun("query APP /v ZETA /s").out.endsWith("End of search: 2 match(es) found.\n"));
    }

    void valueTypesAreWrittenAndShownAsRegDoes_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QByteArray>("line");
        const auto row = [](const char *name, const char *arguments, const char *line) {
            QTest::newRow(name) << QString::fromLatin1(arguments) << QByteArray("    ") + line + "\n";
        };
        row("dword hex", "/v N /t reg_dword /d 0xFFFFFFFF", "N    REG_DWORD    0xffffffff");
        row("binary", "/v N /t REG_BINARY /d 0aff10", "N    REG_BINARY    0AFF10");
        row("multi", "/v N /t REG_MULTI_SZ /d a\\0b", "N    REG_MULTI_SZ    a\\0b");
        row("default value", "/ve /d standard", "(Default)    REG_SZ    standard");
        row("multi, own separator", "/v N /t REG_MULTI_SZ /s # /d a#b", "N    REG_MULTI_SZ    a\\0b");
    }

    void valueTypesAreWrittenAndShownAsRegDoes()
    {
        QFETCH(QString, arguments);
        QFETCH(QByteArray, line);
        add(qPrintable(QLatin1Char(' ') + arguments));
        const VoRun run = regRun("query APP");
        QVERIFY2(run.out.contains(line), run.out.constData());
    }

    void commandsAnswerWithTheirStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("error"); // the start of the error output; with status 0, words of the help

        const auto row = [](const char *name, const char *arguments, const QByteArray &error) {
            QTest::newRow(name) << reg(QString::fromUtf8(arguments)) << 1 << error;
        };
        const QByteArray syntax = "ERROR: Invalid syntax. ";
        row("missing value", "query HKCU\\Software /v Nothing", kNotFound);
        row("unknown hive", "query HKXX\\Software", "ERROR: Invalid key name.\n");
        row("remote machine", "query \\\\PC0042\\HKCU\\Software", "ERROR: The network path was not found.\n");
        row("delete a root", "delete HKCU /f", "ERROR: A root key cannot be deleted.\n");
        row("bad number", "add HKCU\\Software\\X /v N /t REG_DWORD /d twelve /f", syntax + "Specify a valid numeric value for '/d'.\n");
        row("number too big", "add HKCU\\Software\\X /v N /t REG_DWORD /d 4294967296 /f",
            syntax + "Specify a valid numeric value for '/d'.\n");
        row("bad hex", "add HKCU\\Software\\X /v N /t REG_BINARY /d 0g /f", syntax + "Specify a valid hexadecimal value for '/d'.\n");
        row("unknown type", "add HKCU\\Software\\X /v N /t REG_LINK /f", "ERROR: Invalid type \"REG_LINK\"");
        row("unknown switch", "query HKCU\\Software /x", syntax + "Unknown switch \"/x\".\n");
        row("two value switches", "query HKCU\\Software /v A /ve", syntax + "Use only one of /v, /ve and /va.\n");
        row("switch given twice", "add HKCU\\Software\\X /f /f", syntax + "/f is given twice.\n");
        row("no key", "query", syntax + "The key is missing.\n");
        row("/v without name", "query HKCU\\Software /v", syntax + "/v needs a value name.\n");
        row("unknown operation", "copy HKCU\\A HKCU\\B", syntax + "Unknown operation \"copy\".\n");
        QTest::newRow("no operation") << reg(QString()) << 1 << QByteArray("Usage: vo reg OPERATION KEY");
        QTest::newRow("unknown command") << QStringList {QStringLiteral("regedit")} << 1 << QByteArray("vo: unknown command \"regedit\"");
        QTest::newRow("help") << reg(QStringLiteral("/?")) << 0 << QByteArray("vo reg delete KEY [/v NAME | /ve | /va] [/f]");
        QTest::newRow("help on add") << reg(QStringLiteral("add /?")) << 0 << QByteArray("Usage: vo reg add KEY");
    }

    void commandsAnswerWithTheirStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QByteArray, error);
        const VoRun run = vo(arguments);
        QCOMPARE(run.status, status);
        if (status == 0)
            QVERIFY2(run.out.contains(error), run.out.constData());
        else
            QVERIFY2(run.err.startsWith(error) && run.out.isEmpty(), run.err.constData());
    }

    void damagedStoreIsNamed()
    {
        QFile file(m_registry->path());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a registry\n") > 0);
        file.close();

        const VoRun run = regRun("add APP /v A /d 1 /f");
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.startsWith("ERROR: The registry store \"" + m_registry->path().toLocal8Bit()));
    }

    void chainDeeperThanAllowedIsQueriedAndDeleted()
    {
        // A store written by other means may hold far deeper chains than the
        // console creates: the walk stops at the limit, and delete takes all.
        add(" /v A /d 1");
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_registry->path()).constData(), &db), SQLITE_OK);
        const int rc = sqlite3_exec(db,
            "WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 60000) "
            "INSERT INTO keys (id, parent, name, fold) SELECT 1000 + n, iif(n = 1, 8, 999 + n), 'k', 'k' FROM c;"
            "INSERT INTO vals (key, name, fold, type, data) VALUES (61000, 'v', 'v', 4, x'01000000');",
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
        QCOMPARE(rc, SQLITE_OK);

        const VoRun run = regRun("query HKCU\\Software\\k /s");
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("more than 512 levels below its root"), run.err.constData());
        QCOMPARE(run.out.count("\nHKEY_CURRENT_USER\\Software\\k"), 511);

        QCOMPARE(regRun("delete HKCU\\Software\\k /f").status, 0);
        QCOMPARE(regRun("query HKCU\\Software /s").out,
            QByteArray("\nHKEY_CURRENT_USER\\Software\n\nHKEY_CURRENT_USER\\Software\\Brindlewood\n\n"
                       "HKEY_CURRENT_USER\\Software\\Brindlewood\\Varno-Osk\n    A    REG_SZ    1\n\n"));
    }

    void overwriteAsksFirst_data()
    {
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QString>("expected");
        QTest::newRow("yes") << QByteArray("yes\n") << QStringLiteral("new");
        QTest::newRow("no") << QByteArray("n\n") << QStringLiteral("old");
        QTest::newRow("nothing to read") << QByteArray() << QStringLiteral("old");
        QTest::newRow("asks again on nonsense") << QByteArray("maybe\ny\n") << QStringLiteral("new");
    }

    void overwriteAsksFirst()
    {
        QFETCH(QByteArray, answer);
        QFETCH(QString, expected);
        add(" /v Job /d old");

        const VoRun run = regRun("add APP /v Job /d new", answer);
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith("Value Job exists, overwrite(Yes/No)? "));
        QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("Job")), expected);
    }

    void deleteValueValuesAndKey()
    {
        add(" /v A /d 1");
        add(" /v B /d 2");
        add(" /v C /d 3");
        add("\\Sub /v D /d 4");

        VoRun run = regRun("delete APP /v A", "y\n");
        QCOMPARE(run.out, QByteArray("Delete the registry value A (Yes/No)? ") + kDone);
        QCOMPARE(regRun("query APP /v A").status, 1);

        QCOMPARE(regRun("delete APP /va /f").status, 0);
        QCOMPARE(regRun("query APP").out, "\n" + kAppPath + "\n\n" + kAppPath + "\\Sub\n");

        run = regRun("delete APP", "n\n");
        QCOMPARE(run.out, "Permanently delete the registry key " + kAppPath + " (Yes/No)? The operation was canceled by the user.\n");
        QCOMPARE(modRegistry::GetSettingString(kAppKey + QStringLiteral("\\Sub"), QStringLiteral("D")), QStringLiteral("4"));

        QCOMPARE(regRun("delete APP /f").status, 0);
        const VoRun gone = regRun("query APP\\Sub");
        QCOMPARE(gone.status, 1);
        QCOMPARE(gone.err, kNotFound);
    }

    void parallelWritersLoseNothing()
    {
        // Many vo processes write at the same moment into a new store while the
        // console writes too: each waits for the others' locks, and the tables
        // are laid out once.
        constexpr int writers = 16;
        std::vector<std::unique_ptr<QProcess>> processes;
        for (int i = 0; i < writers; ++i) {
            auto process = std::make_unique<QProcess>();
            process->start(QStringLiteral(VO_EXECUTABLE),
                reg(QStringLiteral("add %1\\Writer%2 /v Value%2 /t REG_DWORD /d %2 /f").arg(kAppKey).arg(i)));
            processes.push_back(std::move(process));
        }
        RegKey key = Reg::NoKey;
        QCOMPARE(
            modRegistry::CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key),
            0L);
        modRegistry::CloseKey(key);
        for (int i = 0; i < 20; ++i)
            QVERIFY(modRegistry::SaveSettingString(kAppKey, QStringLiteral("Console%1").arg(i), QString::number(i)));
        for (auto &process : processes) {
            QVERIFY(process->waitForFinished(60000));
            QVERIFY2(process->exitCode() == 0, process->readAllStandardError().constData());
        }

        const VoRun run = regRun("query APP /s");
        for (int i = 0; i < writers; ++i)
            QVERIFY(run.out.contains(QStringLiteral("    Value%1    REG_DWORD    0x%2\n").arg(i).arg(i, 0, 16).toLatin1()));
        for (int i = 0; i < 20; ++i)
            QCOMPARE(modRegistry::GetSettingString(kAppKey, QStringLiteral("Console%1").arg(i)), QString::number(i));
    }
};

QTEST_GUILESS_MAIN(TestVoReg)
#include "tst_voReg.moc"
