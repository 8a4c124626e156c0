#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"

#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QtEndian>

#include <sqlite3.h>

#include <chrono>
#include <memory>
#include <thread>

using namespace modRegistry;

namespace {

const QString kAppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

void execSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    char *error = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &error);
    const QString message = QString::fromUtf8(error);
    sqlite3_free(error);
    sqlite3_close(db);
    QVERIFY2(rc == SQLITE_OK, qPrintable(message));
}

QByteArray dword(quint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian(value, data.data());
    return data;
}

// The console's key, created the way start-up creates it.
void createAppKey()
{
    RegKey key = Reg::NoKey;
    QCOMPARE(CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key), 0L);
    QCOMPARE(CloseKey(key), 0L);
}

void setRaw(const QString &name, quint32 type, const QByteArray &data)
{
    QCOMPARE(SetValue(name, type, data, Reg::NoKey, kAppKey), 0L);
}

} // namespace

class TestRegistryAccess : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestRegistry> m_registry;

private Q_SLOTS:
    void init()
    {
        m_registry = std::make_unique<TestRegistry>();
        createAppKey();
    }

    void cleanup() { m_registry.reset(); }

    // ---- key paths ------------------------------------------------------

    void hiveNames_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qulonglong>("root");
        QTest::addColumn<QString>("subKey");

        QTest::newRow("HKCR") << QStringLiteral("HKCR\\a") << qulonglong(Reg::ClassesRoot) << QStringLiteral("a");
        QTest::newRow("hkcu lower case") << QStringLiteral("hkcu\\a\\b\\") << qulonglong(Reg::CurrentUser) << QStringLiteral("a\\b");
        QTest::newRow("long name, mixed case") << QStringLiteral("Hkey_Local_Machine\\a") << qulonglong(Reg::LocalMachine)
                                               << QStringLiteral("a");
        QTest::newRow("only one trailing backslash goes")
            << QStringLiteral("HKCU\\a\\\\") << qulonglong(Reg::CurrentUser) << QStringLiteral("a\\");
        QTest::newRow("unknown hive") << QStringLiteral("HKXX\\a") << qulonglong(Reg::NoKey) << QStringLiteral("a");
    }

    void hiveNames()
    {
        QFETCH(QString, path);
        QFETCH(qulonglong, root);
        QFETCH(QString, subKey);
        RegKey parsedRoot = 12345;
        QString parsedSubKey;
        QCOMPARE(ParseKeyPath(path, parsedRoot, parsedSubKey), 0L);
        QCOMPARE(qulonglong(parsedRoot), root);
        QCOMPARE(parsedSubKey, subKey);
    }

    void namesMatchWithoutCaseBeyondAscii()
    {
        RegKey key = Reg::NoKey;
        QCOMPARE(CreateKey(QStringLiteral("ÄRGER"), Reg::NoKey, kAppKey, QString(), key), 0L);
        CloseKey(key);
        QVERIFY(SaveSettingString(kAppKey + QStringLiteral("\\ärger"), QStringLiteral("ÜBER"), QStringLiteral("x")));
        QCOMPARE(GetSettingString(kAppKey + QStringLiteral("\\Ärger"), QStringLiteral("über")), QStringLiteral("x"));
    }

    void pathsThatCannotBeOpened()
    {
        RegKey key = Reg::NoKey;
        QVariant result;
        QString subKey;
        QCOMPARE(ParseKeyPath(QStringLiteral("HKCU"), key, subKey), 1L);
        QCOMPARE(OpenKey(QStringLiteral("HKCU"), QString(), Reg::KeyRead, key), long(Reg::KeyNotOpened));
        QCOMPARE(SetStringValue(QStringLiteral("v"), QStringLiteral("t"), Reg::NoKey, QStringLiteral("HKCU")), long(Reg::KeyNotOpened));
        QCOMPARE(GetValue(QStringLiteral("v"), result, QVariant(1), Reg::NoKey, QStringLiteral("HKCU")), long(Reg::KeyNotOpened));
        QVERIFY(!result.isValid());

        QCOMPARE(OpenKey(QStringLiteral("HKXX\\Software"), QString(), Reg::KeyRead, key), long(Reg::InvalidHandle));
        QCOMPARE(SetStringValue(QStringLiteral("v"), QStringLiteral("t"), Reg::NoKey, QStringLiteral("HKXX\\Software")),
            long(Reg::KeyNotOpened));

        // Another machine is never reachable.
        QCOMPARE(OpenKey(kAppKey, QStringLiteral("PC0042"), Reg::KeyRead, key), long(Reg::BadNetPath));
        QCOMPARE(DeleteKey(kAppKey, QStringLiteral("PC0042")), long(Reg::BadNetPath));

        // The standard keys exist in a new store.
        QCOMPARE(OpenKey(QStringLiteral("HKLM\\SOFTWARE"), QString(), Reg::KeyRead, key), 0L);
        CloseKey(key);
    }

    // ---- keys and handles ------------------------------------------------

    void createKeyNeedsAnExistingParent()
    {
        RegKey key = Reg::NoKey;
        QCOMPARE(CreateKey(QStringLiteral("Child"), Reg::NoKey, QStringLiteral("HKCU\\Software\\Nobody"), QString(), key),
            long(Reg::KeyNotOpened));
        QCOMPARE(CreateKey(QStringLiteral("a\\b\\c"), Reg::NoKey, kAppKey, QString(), key), 0L);
        QString name;
        QCOMPARE(KeyName(key, name), 0L);
        QCOMPARE(name, QStringLiteral("HKEY_CURRENT_USER\\Software\\Brindlewood\\Varno-Osk\\a\\b\\c"));
        CloseKey(key);
    }

    void givenHandleIsUsedLeftOpenAndKeepsItsAccess()
    {
        RegKey key = Reg::NoKey;
        QCOMPARE(OpenKey(kAppKey, QString(), Reg::KeyAllAccess, key), 0L);
        QCOMPARE(SetStringValue(QStringLiteral("A"), QStringLiteral("1"), key, QString()), 0L);
        QVariant result;
        QCOMPARE(GetValue(QStringLiteral("A"), result, std::nullopt, key, QString()), 0L);
        QCOMPARE(result, QVariant(QStringLiteral("1")));
        QCOMPARE(CloseKey(key), 0L);
        QCOMPARE(CloseKey(key), long(Reg::InvalidHandle));

        QCOMPARE(OpenKey(kAppKey, QString(), Reg::KeyRead, key), 0L);
        QCOMPARE(SetStringValue(QStringLiteral("A"), QStringLiteral("1"), key, QString()), long(Reg::AccessDenied));
        CloseKey(key);
    }

    void keyDeletedElsewhereIsReported()
    {
        RegKey key = Reg::NoKey;
        QCOMPARE(CreateKey(QStringLiteral("Doomed"), Reg::NoKey, kAppKey, QString(), key), 0L);
        SqliteRegistryStore other(m_registry->path());
        QCOMPARE(other.deleteTree(Reg::CurrentUser, QStringLiteral("Software\\Brindlewood\\Varno-Osk\\Doomed")), 0L);
        QCOMPARE(SetStringValue(QStringLiteral("A"), QStringLiteral("1"), key, QString()), long(Reg::KeyDeleted));
        CloseKey(key);
    }

    // ---- reading values ----------------------------------------------------

    void stringsRoundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("beyond ASCII") << QStringLiteral("Ärger € 日本");
        QTest::newRow("CR inside") << QStringLiteral("a\rb");
        QTest::newRow("254 characters fill the buffer") << QString(254, QLatin1Char('z'));
    }

    void stringsRoundTrip()
    {
        QFETCH(QString, text);
        QCOMPARE(SetStringValue(QStringLiteral("V"), text, Reg::NoKey, kAppKey), 0L);
        QCOMPARE(GetSettingString(kAppKey, QStringLiteral("V")), text);

        quint32 type = 0;
        QByteArray data;
        RegKey key = Reg::NoKey;
        QCOMPARE(OpenKey(kAppKey, QString(), Reg::KeyRead, key), 0L);
        QCOMPARE(QueryRawValue(key, QStringLiteral("V"), type, data), 0L);
        CloseKey(key);
        QCOMPARE(type, quint32(Reg::TypeSz));
        QCOMPARE(data.size(), (text.size() + 1) * 2); // UTF-16 with the terminating null
    }

    void valueTypes_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("REG_EXPAND_SZ stays unexpanded")
            << quint32(Reg::TypeExpandSz) << DataFromString(QStringLiteral("%TEMP%\\x")) << QVariant(QStringLiteral("%TEMP%\\x"));
        QTest::newRow("REG_BINARY first byte") << quint32(Reg::TypeBinary) << QByteArray::fromHex("F00D") << QVariant(0xF0);
        QTest::newRow("REG_BINARY empty") << quint32(Reg::TypeBinary) << QByteArray() << QVariant(0);
        QTest::newRow("REG_DWORD all bits") << quint32(Reg::TypeDword) << dword(0xFFFFFFFF) << QVariant(-1);
        QByteArray withoutNull = DataFromString(QStringLiteral("abc"));
        withoutNull.chop(2);
        QTest::newRow("REG_SZ without null loses a character") << quint32(Reg::TypeSz) << withoutNull << QVariant(QStringLiteral("ab"));
        QTest::newRow("REG_SZ empty") << quint32(Reg::TypeSz) << QByteArray() << QVariant(QString());
        QTest::newRow("other type leaves result") << quint32(Reg::TypeQword) << QByteArray(8, '\1') << QVariant(QStringLiteral("before"));
    }

    void valueTypes()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QFETCH(QVariant, expected);
        setRaw(QStringLiteral("V"), type, data);
        QVariant result = QStringLiteral("before");
        QCOMPARE(GetValue(QStringLiteral("V"), result, std::nullopt, Reg::NoKey, kAppKey), 0L);
        QCOMPARE(result, expected);
    }

    void readCodes_data()
    {
        QTest::addColumn<QString>("stored"); // null: no such value
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<std::optional<QVariant>>("defaultValue");
        QTest::addColumn<long>("code");
        QTest::addColumn<QVariant>("expected");

        const QVariant untouched(QStringLiteral("untouched"));
        const std::optional<QVariant> none;
        QTest::newRow("missing, default") << QString() << untouched << std::optional(QVariant(QStringLiteral("7919")))
                                          << long(Reg::DefaultReturned) << QVariant(QStringLiteral("7919"));
        QTest::newRow("missing, no default") << QString() << untouched << none << long(Reg::FileNotFound) << untouched;
        QTest::newRow("longer than the buffer")
            << QString(255, QLatin1Char('z')) << QVariant(1) << std::optional(QVariant(2)) << long(Reg::MoreData) << QVariant(1);
        QTest::newRow("text converts to the number")
            << QStringLiteral("12") << QVariant(0) << std::optional(QVariant(5)) << 0L << QVariant(12);
        QTest::newRow("text does not convert, default")
            << QStringLiteral("abc") << QVariant(0) << std::optional(QVariant(5)) << long(Reg::DefaultReturned) << QVariant(5);
        QTest::newRow("default does not convert either")
            << QStringLiteral("abc") << QVariant(0) << std::optional(QVariant(QStringLiteral("x"))) << long(Reg::NoValue) << QVariant(0);
        QTest::newRow("text does not convert, no default")
            << QStringLiteral("abc") << QVariant(0) << none << long(Reg::NoValue) << QVariant(0);
    }

    void readCodes()
    {
        QFETCH(QString, stored);
        QFETCH(QVariant, before);
        QFETCH(std::optional<QVariant>, defaultValue);
        QFETCH(long, code);
        QFETCH(QVariant, expected);
        if (!stored.isNull())
            QCOMPARE(SetStringValue(QStringLiteral("V"), stored, Reg::NoKey, kAppKey), 0L);
        QVariant result = before;
        QCOMPARE(GetValue(QStringLiteral("V"), result, defaultValue, Reg::NoKey, kAppKey), code);
        QCOMPARE(result, expected);
        // The plain reader gives the text unless it is too long for the buffer.
        QCOMPARE(GetSettingString(kAppKey, QStringLiteral("V")), stored.size() < ReadBufferChars ? stored : QString());
    }

    // ---- the store file --------------------------------------------------

    void damagedFileIsReportedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("text file") << QByteArray("ListenerPort=7919\n");
        QByteArray header("SQLite format 3\0", 16);
        QTest::newRow("header, then garbage") << header + QByteArray(4080, '\xFF');
    }

    void damagedFileIsReportedAndLeftAlone()
    {
        QFETCH(QByteArray, contents);
        const QString path = m_registry->folder() + QStringLiteral("/damaged.db");
        writeFile(path, contents);
        SetStore(std::make_unique<SqliteRegistryStore>(path));

        RegKey key = Reg::NoKey;
        const long code = OpenKey(kAppKey, QString(), Reg::KeyRead, key);
        QVERIFY2(code == Reg::BadDb, qPrintable(QString::number(code)));
        QVERIFY(ErrorText(code).contains(path));
        QVERIFY(!SaveSettingString(kAppKey, QStringLiteral("V"), QStringLiteral("x")));
        RegKey created = Reg::NoKey;
        QVERIFY(CreateKey(QStringLiteral("X"), Reg::CurrentUser, QString(), QString(), created) != 0);
        QCOMPARE(fileBytes(path), contents);
    }

    void foreignOrNewerDatabaseIsRefused_data()
    {
        QTest::addColumn<QByteArray>("sql");
        QTest::addColumn<QString>("words");
        QTest::newRow("another program's database")
            << QByteArray("CREATE TABLE t(x); INSERT INTO t VALUES (1);") << QStringLiteral("not a Varno-Osk registry store");
        QTest::newRow("newer version") << QByteArray("PRAGMA user_version = 2;") << QStringLiteral("newer version");
    }

    void foreignOrNewerDatabaseIsRefused()
    {
        QFETCH(QByteArray, sql);
        QFETCH(QString, words);
        // The test store exists already; make it foreign or newer behind the module's back.
        if (sql.startsWith("CREATE"))
            QFile::remove(m_registry->path());
        execSql(m_registry->path(), sql.constData());
        const QByteArray before = fileBytes(m_registry->path());
        SetStore(std::make_unique<SqliteRegistryStore>(m_registry->path()));

        RegKey key = Reg::NoKey;
        QCOMPARE(OpenKey(kAppKey, QString(), Reg::KeyRead, key), long(Reg::BadDb));
        QVERIFY2(ErrorText(Reg::BadDb).contains(words), qPrintable(ErrorText(Reg::BadDb)));
        QVERIFY(!SaveSettingString(QStringLiteral("HKCU\\Software"), QStringLiteral("V"), QStringLiteral("x")));
        QCOMPARE(fileBytes(m_registry->path()), before);
    }

    void storeFolderIsMadeButNotAFile()
    {
        const QString path = m_registry->folder() + QStringLiteral("/folder.db");
        QVERIFY(QDir().mkpath(path));
        SetStore(std::make_unique<SqliteRegistryStore>(path));
        RegKey key = Reg::NoKey;
        const long code = OpenKey(kAppKey, QString(), Reg::KeyRead, key);
        QCOMPARE(code, long(Reg::CantOpen));
        QVERIFY(ErrorText(code).contains(QStringLiteral("not a file")));

        // A missing folder, in contrast, is made.
        const QString deep = m_registry->folder() + QStringLiteral("/deep/er/registry.db");
        SetStore(std::make_unique<SqliteRegistryStore>(deep));
        createAppKey();
        QVERIFY(SaveSettingString(kAppKey, QStringLiteral("V"), QStringLiteral("x")));
        QVERIFY(QFile::exists(deep));
    }

    void defaultPathFollowsTheEnvironment()
    {
        QCOMPARE(DefaultStorePath(), m_registry->path());
        const QByteArray saved = qgetenv("VARNO_OSK_REGISTRY");
        qunsetenv("VARNO_OSK_REGISTRY");
        qputenv("XDG_CONFIG_HOME", m_registry->folder().toLocal8Bit());
        QCOMPARE(DefaultStorePath(), m_registry->folder() + QStringLiteral("/varno-osk/registry.db"));
        qunsetenv("XDG_CONFIG_HOME");
        qputenv("VARNO_OSK_REGISTRY", saved);
    }

    // ---- two programs on one store ----------------------------------------

    void writesOfTwoStoresAreSeenByBoth()
    {
        SqliteRegistryStore second(m_registry->path());
        RegKey key = Reg::NoKey;
        QCOMPARE(second.openKey(Reg::CurrentUser, QStringLiteral("Software\\Brindlewood\\Varno-Osk"), Reg::KeyAllAccess, &key), 0L);
        for (int i = 0; i < 50; ++i) {
            QCOMPARE(SetStringValue(QStringLiteral("First%1").arg(i), QString::number(i), Reg::NoKey, kAppKey), 0L);
            QCOMPARE(second.setValue(key, QStringLiteral("Second%1").arg(i), Reg::TypeSz, DataFromString(QString::number(i))), 0L);
        }
        QList<RegistryStore::Value> values;
        QCOMPARE(second.enumValues(key, &values), 0L);
        QCOMPARE(values.size(), 100);
        QCOMPARE(GetSettingString(kAppKey, QStringLiteral("Second49")), QStringLiteral("49"));
        second.closeKey(key);
    }

    void writeWaitsForAnotherProgramsTransaction()
    {
        // Another program holds the write lock for a moment; our write waits for it instead of failing.
        sqlite3 *other = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(m_registry->path()).constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE; UPDATE keys SET name = name WHERE id = 1;", nullptr, nullptr, nullptr), SQLITE_OK);
        std::thread release([other] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        });

        const long code = SetStringValue(QStringLiteral("AfterWait"), QStringLiteral("yes"), Reg::NoKey, kAppKey);
        release.join();
        sqlite3_close(other);
        QCOMPARE(code, 0L);
        QCOMPARE(GetSettingString(kAppKey, QStringLiteral("AfterWait")), QStringLiteral("yes"));
    }
};

QTEST_GUILESS_MAIN(TestRegistryAccess)
#include "tst_modRegistry.moc"
