#include "common/RunHistory.h"

#include "common/SqliteStatement.h"
#include "common/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <sys/stat.h>

namespace {

// "VORH" in the file header marks a history of ours.
constexpr int kApplicationId = 0x564F5248;
constexpr int kSchemaVersion = 2;

// The indexes: `outcome_identity` finds one computer's outcomes (vo status
// --computer) and gives the summary every computer's outcomes together,
// newest first, without a sort; `outcome_time` serves pruning by date.
// Schema 1 kept outcomes by folded name (`folded`, index
// `outcome_computer`); the column stays for the files written then, the
// index goes with the migration.
const char kSchema[] = "PRAGMA application_id = 1448038984;"
                       "PRAGMA user_version = 2;"
                       "CREATE TABLE IF NOT EXISTS outcome ("
                       "  computer TEXT NOT NULL, folded TEXT NOT NULL, status TEXT NOT NULL, time INTEGER NOT NULL,"
                       "  run TEXT NOT NULL, kind TEXT NOT NULL, reason TEXT NOT NULL,"
                       "  wave TEXT NOT NULL DEFAULT '', directory_id TEXT NOT NULL DEFAULT '', seen INTEGER NOT NULL DEFAULT 0,"
                       "  identity TEXT NOT NULL DEFAULT '');"
                       "CREATE INDEX IF NOT EXISTS outcome_identity ON outcome (identity, time);"
                       "CREATE INDEX IF NOT EXISTS outcome_time ON outcome (time);";
// Schema 1 to 2, in one transaction with the new user_version: a console
// killed half-way leaves a file of schema 1 that the next one migrates.
const char kMigration1To2[] = "BEGIN IMMEDIATE;"
                              "ALTER TABLE outcome ADD COLUMN wave TEXT NOT NULL DEFAULT '';"
                              "ALTER TABLE outcome ADD COLUMN directory_id TEXT NOT NULL DEFAULT '';"
                              "ALTER TABLE outcome ADD COLUMN seen INTEGER NOT NULL DEFAULT 0;"
                              "ALTER TABLE outcome ADD COLUMN identity TEXT NOT NULL DEFAULT '';"
                              "UPDATE outcome SET identity = 'name:' || folded;"
                              "DROP INDEX IF EXISTS outcome_computer;"
                              "CREATE INDEX outcome_identity ON outcome (identity, time);"
                              "PRAGMA user_version = 2;"
                              "COMMIT;";
static_assert(kApplicationId == 1448038984, "the schema names the same id");

const char kColumns[] = "computer, status, time, run, kind, reason, wave, directory_id, seen";

RunHistory::Outcome outcomeOf(const Statement &row)
{
    RunHistory::Outcome outcome;
    outcome.Computer = row.text(0);
    outcome.Status = row.text(1);
    outcome.Time = QDateTime::fromMSecsSinceEpoch(row.int64(2), Qt::UTC);
    outcome.Run = row.text(3);
    outcome.Kind = row.text(4);
    outcome.Reason = row.text(5);
    outcome.Wave = row.text(6);
    outcome.DirectoryID = row.text(7);
    outcome.Seen = row.int64(8) != 0;
    return outcome;
}

} // namespace

QString RunHistory::DefaultPath()
{
    return QFileInfo(modRegistry::DefaultStorePath()).dir().filePath(QStringLiteral("history.db"));
}

QString RunHistory::KeyOf(const QString &name, const QString &directoryID)
{
    return directoryID.isEmpty() ? QStringLiteral("name:") + name.toCaseFolded() : QStringLiteral("id:") + directoryID.toLower();
}

std::optional<RunHistory::Summary> RunHistory::SummaryOf(
    const QHash<QString, Summary> &summaries, const QString &name, const QString &directoryID)
{
    const auto own = summaries.constFind(KeyOf(name, directoryID));
    const auto before = directoryID.isEmpty() ? summaries.cend() : summaries.constFind(KeyOf(name, QString()));
    if (own == summaries.cend() && before == summaries.cend())
        return std::nullopt;
    if (before == summaries.cend())
        return *own;
    if (own == summaries.cend())
        return *before;
    Summary both = *own;
    if (before->latest.Time > both.latest.Time)
        both.latest = before->latest;
    both.tries += before->tries;
    if (before->lastSeen.isValid() && (!both.lastSeen.isValid() || before->lastSeen > both.lastSeen))
        both.lastSeen = before->lastSeen;
    return both;
}

RunHistory::RunHistory(QString path)
    : m_path(std::move(path))
{ }

RunHistory::~RunHistory()
{
    sqlite3_close_v2(m_db);
}

bool RunHistory::fail(const QString &doing, QString &problem)
{
    problem = QStringLiteral("The run history \"%1\" could not be %2: %3.")
                  .arg(QDir::toNativeSeparators(m_path), doing, QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "it could not be opened"));
    return false;
}

bool RunHistory::open(bool create, QString &problem)
{
    if (m_db)
        return true;
    struct stat info
    {
    };
    const QByteArray name = QFile::encodeName(m_path);
    const bool exists = ::lstat(name.constData(), &info) == 0;
    if (exists && !S_ISREG(info.st_mode)) {
        problem = QStringLiteral("The run history \"%1\" is not a plain file (a link, say); it was left as it is.")
                      .arg(QDir::toNativeSeparators(m_path));
        return false;
    }
    if (!exists && !create) {
        problem.clear(); // no history yet: nothing recorded, nothing wrong
        return false;
    }
    if (!exists) {
        QDir().mkpath(QFileInfo(m_path).path());
        // Created private before SQLite writes anything into it.
        QFile file(m_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)
            || !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            problem = QStringLiteral("The run history \"%1\" could not be created: %2.").arg(QDir::toNativeSeparators(m_path), file.errorString());
            return false;
        }
    }
    if (sqlite3_open_v2(name.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("opened"), problem);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_busy_timeout(m_db, 10000);
    // Read and finalised before anything changes the schema: a statement
    // still open keeps the table locked against the migration.
    const auto pragma = [this](const char *sql) {
        Statement statement(m_db, sql);
        return statement.prepared() && statement.step() == SQLITE_ROW ? statement.int64(0) : qint64(-1);
    };
    const qint64 found = pragma("PRAGMA application_id");
    const qint64 schema = pragma("PRAGMA user_version");
    const bool empty = found == 0 && schema == 0;
    const bool older = found == kApplicationId && schema >= 1 && schema < kSchemaVersion;
    if (!empty && !older && (found != kApplicationId || schema != kSchemaVersion)) {
        problem = found == kApplicationId && schema > kSchemaVersion
            ? QStringLiteral("The run history \"%1\" was written by a newer console (schema %2); it was left as it is.")
                  .arg(QDir::toNativeSeparators(m_path))
                  .arg(schema)
            : QStringLiteral("\"%1\" is not a run history of this console; it was left as it is.").arg(QDir::toNativeSeparators(m_path));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    if ((empty && sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) || (older && !migrate(problem))) {
        if (empty)
            fail(QStringLiteral("prepared"), problem);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

bool RunHistory::migrate(QString &problem)
{
    if (sqlite3_exec(m_db, kMigration1To2, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    fail(QStringLiteral("brought to schema %1").arg(kSchemaVersion), problem);
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool RunHistory::record(const QList<Outcome> &outcomes, QString &problem)
{
    if (outcomes.isEmpty())
        return true;
    if (!open(true, problem))
        return false;
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("written"), problem);
    Statement insert(m_db,
        "INSERT INTO outcome (computer, folded, status, time, run, kind, reason, wave, directory_id, seen, identity)"
        " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bool ok = insert.prepared();
    for (const Outcome &outcome : outcomes) {
        if (!ok)
            break;
        insert.bind(1, outcome.Computer);
        insert.bind(2, outcome.Computer.toCaseFolded());
        insert.bind(3, outcome.Status);
        insert.bind(4, outcome.Time.toMSecsSinceEpoch());
        insert.bind(5, outcome.Run);
        insert.bind(6, outcome.Kind);
        insert.bind(7, outcome.Reason);
        insert.bind(8, outcome.Wave);
        insert.bind(9, outcome.DirectoryID);
        insert.bind(10, qint64(outcome.Seen));
        insert.bind(11, KeyOf(outcome.Computer, outcome.DirectoryID));
        ok = insert.step() == SQLITE_DONE;
        insert.reset();
    }
    if (!ok) {
        fail(QStringLiteral("written"), problem);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK || fail(QStringLiteral("written"), problem);
}

bool RunHistory::outcomesOf(const QString &computer, const QString &directoryID, QList<Outcome> &outcomes, QString &problem)
{
    outcomes.clear();
    if (!open(false, problem))
        return problem.isEmpty();
    const QByteArray sql = QByteArray("SELECT ") + kColumns + " FROM outcome WHERE identity IN (?, ?) ORDER BY time DESC, rowid DESC";
    Statement select(m_db, sql.constData());
    if (!select.prepared())
        return fail(QStringLiteral("read"), problem);
    select.bind(1, KeyOf(computer, QString()));
    select.bind(2, KeyOf(computer, directoryID));
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW)
        outcomes.append(outcomeOf(select));
    return rc == SQLITE_DONE || fail(QStringLiteral("read"), problem);
}

bool RunHistory::summary(QHash<QString, Summary> &out, QString &problem)
{
    out.clear();
    if (!open(false, problem))
        return problem.isEmpty();
    // Backwards along outcome_identity, each computer's outcomes newest first
    // (of two at the same time, the one written later): only the first of
    // each is made into an Outcome, the others are counted from their bytes.
    const QByteArray sql = QByteArray("SELECT ") + kColumns + ", identity FROM outcome ORDER BY identity DESC, time DESC, rowid DESC";
    Statement select(m_db, sql.constData());
    if (!select.prepared())
        return fail(QStringLiteral("read"), problem);
    const QByteArray migration("migration");
    QByteArray identity;
    Summary *item = nullptr;
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (!item || select.blob(9) != identity) {
            identity = select.blob(9);
            item = &out[QString::fromUtf8(identity)];
            item->latest = outcomeOf(select);
        }
        if (select.blob(4) == migration)
            ++item->tries;
        if (!item->lastSeen.isValid() && select.int64(8) != 0)
            item->lastSeen = QDateTime::fromMSecsSinceEpoch(select.int64(2), Qt::UTC);
    }
    return rc == SQLITE_DONE || fail(QStringLiteral("read"), problem);
}

bool RunHistory::prune(const QDateTime &before, int &removed, QString &problem)
{
    removed = 0;
    if (!open(false, problem))
        return problem.isEmpty();
    Statement remove(m_db, "DELETE FROM outcome WHERE time < ?");
    if (!remove.prepared())
        return fail(QStringLiteral("pruned"), problem);
    remove.bind(1, before.toMSecsSinceEpoch());
    if (remove.step() != SQLITE_DONE)
        return fail(QStringLiteral("pruned"), problem);
    removed = sqlite3_changes(m_db);
    return true;
}
