#include "common/SqliteRegistryStore.h"
#include "common/modRegistry.h"

#include "support/TestRegistry.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QtEndian>

#include <sqlite3.h>

#include <memory>

using namespace modRegistry;

namespace {

const QString kAppKey = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void execSql(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
}

qint64 sqlValue(const QString &path, const char *sql)
{
    sqlite3 *db = nullptr;
    sqlite3_stmt *st = nullptr;
    qint64 value = -1;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK && sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK
        && sqlite3_step(st) == SQLITE_ROW)
        value = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return value;
}

// Changes a name inside the page of the value index, so that the index no
// longer matches its table while the file's structure stays readable.
void damageValueIndex(const QString &path, const QByteArray &name)
{
    const qint64 pageSize = sqlValue(path, "PRAGMA page_size");
    const qint64 start = (sqlValue(path, "SELECT rootpage FROM sqlite_master WHERE name = 'sqlite_autoindex_vals_1'") - 1) * pageSize;
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qsizetype at = file.readAll().indexOf(name, start);
    QVERIFY(at > start && at < start + pageSize);
    QVERIFY(file.seek(at) && file.write(QByteArray(name.size(), 'y')) == name.size());
}

// The console's key, created the way start-up creates it.
void createAppKey()
{
    RegKey key = Reg::NoKey;
    QCOMPARE(CreateKey(QStringLiteral("Brindlewood\\Varno-Osk"), Reg::NoKey, QStringLiteral("HKCU\\Software"), QString(), key), 0L);
    QCOMPARE(CloseKey(key), 0L);
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

    void keyPaths_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<long>("code");
        QTest::addColumn<qulonglong>("root");
        QTest::addColumn<QString>("subKey");

        QTest::newRow("HKCR") << QStringLiteral("HKCR\\a") << 0L << qulonglong(Reg::ClassesRoot) << QStringLiteral("a");
        QTest::newRow("hkcu lower case") << QStringLiteral("hkcu\\a\\b\\") << 0L << qulonglong(Reg::CurrentUser) << QStringLiteral("a\\b");
        QTest::newRow("long name, mixed case") << QStringLiteral("Hkey_Local_Machine\\a") << 0L << qulonglong(Reg::LocalMachine)
                                               << QStringLiteral("a");
        QTest::newRow("only one trailing backslash goes")
            << QStringLiteral("HKCU\\a\\\\") << 0L << qulonglong(Reg::CurrentUser) << QStringLiteral("a\\");
        QTest::newRow("unknown hive") << QStringLiteral("HKXX\\a") << 0L << qulonglong(Reg::NoKey) << QStringLiteral("a");
        QTest::newRow("no backslash") << QStringLiteral("HKCU") << 1L << qulonglong(12345) << QString();
    }

    void keyPaths()
    {
        QFETCH(QString, path);
        RegKey parsedRoot = 12345;
        QString parsedSubKey;
        QTEST(ParseKeyPath(path, parsedRoot, parsedSubKey), "code");
        QTEST(qulonglong(parsedRoot), "root");
        QTEST(parsedSubKey, "subKey");
    }

    void pathsThatCannotBeOpened()
    {
        RegKey key = Reg::NoKey;
        QVariant result;
        QCOMPARE(OpenKey(QStringLiteral("HKCU"), QString(), Reg::KeyRead, key), long(Reg::KeyNotOpened));
        QCOMPARE(GetValue(QStringLiteral("v"), result, QVariant(1), Reg::NoKey, QStringLiteral("HKCU")), long(Reg::KeyNotOpened));
        QVERIFY(!result.isValid());
        QCOMPARE(OpenKey(QStringLiteral("HKXX\\Software"), QString(), Reg::KeyRead, key), long(Reg::InvalidHandle));
        QCOMPARE(CreateKey(QStringLiteral("Child"), Reg::NoKey, QStringLiteral("HKCU\\Software\\Nobody"), QString(), key),
            long(Reg::KeyNotOpened));
        // Another machine is never reachable.
        QCOMPARE(OpenKey(kAppKey, QStringLiteral("PC0042"), Reg::KeyRead, key), long(Reg::BadNetPath));
        QCOMPARE(DeleteKey(kAppKey, QStringLiteral("PC0042")), long(Reg::BadNetPath));
        // The standard keys exist in a new store.
        QCOMPARE(OpenKey(QStringLiteral("HKLM\\SOFTWARE"), QString(), Reg::KeyRead, key), 0L);
        CloseKey(key);
    }

    void namesMatchWithoutCaseBeyondAscii()
    {
        RegKey key = Reg::NoKey;
        QCOMPARE(CreateKey(QStringLiteral("ÄRGER\\b\\c"), Reg::NoKey, kAppKey, QString(), key), 0L);
        QString name;
        QCOMPARE(KeyName(key, name), 0L);
        QCOMPARE(name, QStringLiteral("HKEY_CURRENT_USER\\Software\\Brindlewood\\Varno-Osk\\ÄRGER\\b\\c"));
        CloseKey(key);
        QVERIFY(SaveSettingString(kAppKey + QStringLiteral("\\ärger"), QStringLiteral("ÜBER"), QStringLiteral("x")));
        QCOMPARE(GetSettingString(kAppKey + QStringLiteral("\\Ärger"), QStringLiteral("über")), QStringLiteral("x"));
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

        // A key that another program deletes under an open handle.
        QCOMPARE(CreateKey(QStringLiteral("Doomed"), Reg::NoKey, kAppKey, QString(), key), 0L);
        SqliteRegistryStore other(m_registry->path());
        QCOMPARE(other.deleteTree(Reg::CurrentUser, QStringLiteral("Software\\Brindlewood\\Varno-Osk\\Doomed")), 0L);
        QCOMPARE(SetStringValue(QStringLiteral("A"), QStringLiteral("1"), key, QString()), long(Reg::KeyDeleted));
        CloseKey(key);
    }

    void valueTypes_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QVariant>("expected");

        QByteArray allBits(4, '\0');
        qToLittleEndian(0xFFFFFFFFu, allBits.data());
        QByteArray withoutNull = DataFromString(QStringLiteral("abc"));
        withoutNull.chop(2);
        QTest::newRow("REG_EXPAND_SZ stays unexpanded")
            << quint32(Reg::TypeExpandSz) << DataFromString(QStringLiteral("%TEMP%\\x")) << QVariant(QStringLiteral("%TEMP%\\x"));
        QTest::newRow("REG_BINARY first byte") << quint32(Reg::TypeBinary) << QByteArray::fromHex("F00D") << QVariant(0xF0);
        QTest::newRow("REG_BINARY empty") << quint32(Reg::TypeBinary) << QByteArray() << QVariant(0);
        QTest::newRow("REG_DWORD all bits") << quint32(Reg::TypeDword) << allBits << QVariant(-1);
        QTest::newRow("REG_SZ without null loses a character") << quint32(Reg::TypeSz) << withoutNull << QVariant(QStringLiteral("ab"));
        QTest::newRow("REG_SZ empty") << quint32(Reg::TypeSz) << QByteArray() << QVariant(QString());
        QTest::newRow("other type leaves result") << quint32(Reg::TypeQword) << QByteArray(8, '\1') << QVariant(QStringLiteral("before"));
    }

    void valueTypes()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QCOMPARE(SetValue(QStringLiteral("V"), type, data, Reg::NoKey, kAppKey), 0L);
        QVariant result = QStringLiteral("before");
        QCOMPARE(GetValue(QStringLiteral("V"), result, std::nullopt, Reg::NoKey, kAppKey), 0L);
        QTEST(result, "expected");
    }

    void readCodes_data()
    {
        QTest::addColumn<QString>("stored"); // null: no such value; empty: an empty text
        QTest::addColumn<QVariant>("before");
        QTest::addColumn<std::optional<QVariant>>("defaultValue");
        QTest::addColumn<long>("code");
        QTest::addColumn<QVariant>("expected");

        const QVariant untouched(QStringLiteral("untouched"));
        const std::optional<QVariant> none;
        for (const QString &text : {QStringLiteral(""), QStringLiteral("Ärger € 日本 \U0001F600"), QString(254, QLatin1Char('z'))})
            QTest::addRow("text of %d", int(text.size())) << text << untouched << none << 0L << QVariant(text);
        const QString abc = QStringLiteral("abc");
        QTest::newRow("missing, default") << QString() << untouched << std::optional(QVariant(QStringLiteral("7919")))
                                          << long(Reg::DefaultReturned) << QVariant(QStringLiteral("7919"));
        QTest::newRow("missing, no default") << QString() << untouched << none << long(Reg::FileNotFound) << untouched;
        QTest::newRow("longer than the buffer")
            << QString(255, QLatin1Char('z')) << QVariant(1) << std::optional(QVariant(2)) << long(Reg::MoreData) << QVariant(1);
        QTest::newRow("text converts to the number")
            << QStringLiteral("12") << QVariant(0) << std::optional(QVariant(5)) << 0L << QVariant(12);
        QTest::newRow("text does not convert, default")
            << abc << QVariant(0) << std::optional(QVariant(5)) << long(Reg::DefaultReturned) << QVariant(5);
        QTest::newRow("default does not convert either")
            << abc << QVariant(0) << std::optional(QVariant(QStringLiteral("x"))) << long(Reg::NoValue) << QVariant(0);
        QTest::newRow("text does not convert, no default") << abc << QVariant(0) << none << long(Reg::NoValue) << QVariant(0);
    }

    void readCodes()
    {
        QFETCH(QString, stored);
        QFETCH(QVariant, before);
        QFETCH(std::optional<QVariant>, defaultValue);
        if (!stored.isNull()) {
            QCOMPARE(SetStringValue(QStringLiteral("V"), stored, Reg::NoKey, kAppKey), 0L);
            // Stored as REG_SZ in UTF-16 with the terminating null.
            quint32 type = 0;
            QByteArray data;
            RegKey key = Reg::NoKey;
            QCOMPARE(OpenKey(kAppKey, QString(), Reg::KeyRead, key), 0L);
            QCOMPARE(QueryRawValue(key, QStringLiteral("V"), type, data), 0L);
            CloseKey(key);
            QCOMPARE(type, quint32(Reg::TypeSz));
            QCOMPARE(data.size(), (stored.size() + 1) * 2);
        }
        QVariant result = before;
        QTEST(GetValue(QStringLiteral("V"), result, defaultValue, Reg::NoKey, kAppKey), "code");
        QTEST(result, "expected");
        // The plain reader gives the text unless it is too long for the buffer.
        QCOMPARE(GetSettingString(kAppKey, QStringLiteral("V")), stored.size() < ReadBufferChars ? stored : QString());
    }

    void unusableStoreIsRefusedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("contents"); // unless null, written as the store
        QTest::addColumn<QByteArray>("sql"); // run on a new file, or on a copy of the store after "PRAGMA"
        QTest::addColumn<bool>("damageIndex");
        QTest::addColumn<long>("readCode");
        QTest::addColumn<QString>("words");
        const long bad = Reg::BadDb;
        QTest::newRow("header, then garbage") << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\xFF') << QByteArray() << false
                                              << bad << QString();
        QTest::newRow("empty file") << QByteArray("") << QByteArray() << false << bad << QStringLiteral("empty file");
        QTest::newRow("another program's database") << QByteArray() << QByteArray("CREATE TABLE t(x); INSERT INTO t VALUES (1);") << false
                                                    << bad << QStringLiteral("not a Varno-Osk registry store");
        QTest::newRow("SQLite database without tables")
            << QByteArray() << QByteArray("VACUUM;") << false << bad << QStringLiteral("not a Varno-Osk registry store");
        QTest::newRow("newer version") << QByteArray() << QByteArray("PRAGMA user_version = 2;") << false << bad
                                       << QStringLiteral("newer version");
        // Readable, but the integrity check finds the fault: no write at all.
        QTest::newRow("damaged index")
            << QByteArray()
            << QByteArray(
                   "PRAGMA foreign_keys = ON; INSERT INTO vals (key, name, fold, type, data) VALUES (8, 'zzzzzzzz', 'zzzzzzzz', 1, x'00');")
            << true << 0L << QStringLiteral("damaged");
    }

    void unusableStoreIsRefusedAndLeftAlone()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QByteArray, sql);
        QFETCH(bool, damageIndex);
        QFETCH(QString, words);
        const QString path = m_registry->folder() + QStringLiteral("/other.db");
        if (sql.startsWith("PRAGMA"))
            QVERIFY(QFile::copy(m_registry->path(), path));
        if (!sql.isEmpty())
            execSql(path, sql.constData());
        QFile file(path);
        if (!contents.isNull())
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(contents) == contents.size());
        file.close();
        if (damageIndex)
            damageValueIndex(path, "zzzzzzzz");
        const QByteArray before = fileBytes(path);
        SetStore(std::make_unique<SqliteRegistryStore>(path));

        RegKey key = Reg::NoKey;
        QTEST(OpenKey(kAppKey, QString(), Reg::KeyRead, key), "readCode");
        QVERIFY(!SaveSettingString(kAppKey, QStringLiteral("V"), QStringLiteral("x")));
        QVERIFY(DeleteKey(kAppKey, QString()) != 0);
        QCOMPARE(CreateKey(QStringLiteral("X"), Reg::CurrentUser, QString(), QString(), key), long(Reg::BadDb));
        QVERIFY2(ErrorText(Reg::BadDb).contains(path) && ErrorText(Reg::BadDb).contains(words), qPrintable(ErrorText(Reg::BadDb)));
        QCOMPARE(fileBytes(path), before);
    }

    void keysAreAtMost512LevelsDeep_data()
    {
        QTest::addColumn<int>("first"); // levels made by one call below HKCU
        QTest::addColumn<int>("second"); // then levels below those
        QTest::addColumn<long>("code");
        QTest::addColumn<qint64>("keys"); // in the store afterwards
        QTest::newRow("512 at once") << 512 << 0 << 0L << qint64(512);
        QTest::newRow("513 at once") << 513 << 0 << long(Reg::InvalidParameter) << qint64(0);
        QTest::newRow("one more below 511") << 511 << 1 << 0L << qint64(512);
        QTest::newRow("one more below 512") << 512 << 1 << long(Reg::InvalidParameter) << qint64(512);
    }

    void keysAreAtMost512LevelsDeep()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(long, code);
        const auto chain = [](int levels) { return QStringList(levels, QStringLiteral("k")).join(QLatin1Char('\\')); };
        RegKey key = Reg::NoKey;
        if (second > 0) {
            QCOMPARE(Store().createKey(Reg::CurrentUser, chain(first), &key), 0L);
            QCOMPARE(Store().createKey(key, chain(second), &key), code);
        } else {
            QCOMPARE(Store().createKey(Reg::CurrentUser, chain(first), &key), code);
        }
        QTEST(sqlValue(m_registry->path(), "SELECT count(*) FROM keys WHERE name = 'k'"), "keys");
    }

    void storeFolderIsMadeButNotAFile()
    {
        const QString path = m_registry->folder() + QStringLiteral("/folder.db");
        QVERIFY(QDir().mkpath(path));
        SetStore(std::make_unique<SqliteRegistryStore>(path));
        RegKey key = Reg::NoKey;
        QCOMPARE(OpenKey(kAppKey, QString(), Reg::KeyRead, key), long(Reg::CantOpen));
        QVERIFY(ErrorText(Reg::CantOpen).contains(QStringLiteral("not a file")));

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
};

QTEST_GUILESS_MAIN(TestRegistryAccess)
#include "tst_modRegistry.moc"
