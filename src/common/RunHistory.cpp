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
constexpr int kSchemaVersion = 1;

const char kSchema[] = "PRAGMA application_id = 1448038984;"
                       "PRAGMA user_version = 1;"
                       "CREATE TABLE IF NOT EXISTS outcome ("
                       "  computer TEXT NOT NULL, folded TEXT NOT NULL, status TEXT NOT NULL, time INTEGER NOT NULL,"
                       "  run TEXT NOT NULL, kind TEXT NOT NULL, reason TEXT NOT NULL);"
                       "CREATE INDEX IF NOT EXISTS outcome_computer ON outcome (folded, time);"
                       "CREATE INDEX IF NOT EXISTS outcome_time ON outcome (time);";
static_assert(kApplicationId == 1448038984, "the schema names the same id");

RunHistory::Outcome outcomeOf(const Statement &row)
{
    RunHistory::Outcome outcome;
    outcome.Computer = row.text(0);
    outcome.Status = row.text(1);
    outcome.Time = QDateTime::fromMSecsSinceEpoch(row.int64(2), Qt::UTC);
    outcome.Run = row.text(3);
    outcome.Kind = row.text(4);
    outcome.Reason = row.text(5);
    return outcome;
}

} // namespace

QString RunHistory::DefaultPath()
{
    return QFileInfo(modRegistry::DefaultStorePath()).dir().filePath(QStringLiteral("history.db"));
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
    Statement id(m_db, "PRAGMA application_id");
    const qint64 found = id.prepared() && id.step() == SQLITE_ROW ? id.int64(0) : -1;
    Statement version(m_db, "PRAGMA user_version");
    const qint64 schema = version.prepared() && version.step() == SQLITE_ROW ? version.int64(0) : -1;
    const bool empty = found == 0 && schema == 0;
    if (!empty && (found != kApplicationId || schema != kSchemaVersion)) {
        problem = found == kApplicationId && schema > kSchemaVersion
            ? QStringLiteral("The run history \"%1\" was written by a newer console (schema %2); it was left as it is.")
                  .arg(QDir::toNativeSeparators(m_path))
                  .arg(schema)
            : QStringLiteral("\"%1\" is not a run history of this console; it was left as it is.").arg(QDir::toNativeSeparators(m_path));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    if (empty && sqlite3_exec(m_db, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail(QStringLiteral("prepared"), problem);
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return false;
    }
    return true;
}

bool RunHistory::record(const QList<Outcome> &outcomes, QString &problem)
{
    if (outcomes.isEmpty())
        return true;
    if (!open(true, problem))
        return false;
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail(QStringLiteral("written"), problem);
    Statement insert(m_db, "INSERT INTO outcome (computer, folded, status, time, run, kind, reason) VALUES (?, ?, ?, ?, ?, ?, ?)");
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

bool RunHistory::outcomesOf(const QString &computer, QList<Outcome> &outcomes, QString &problem)
{
    outcomes.clear();
    if (!open(false, problem))
        return problem.isEmpty();
    Statement select(m_db, "SELECT computer, status, time, run, kind, reason FROM outcome WHERE folded = ? ORDER BY time DESC, rowid DESC");
    if (!select.prepared())
        return fail(QStringLiteral("read"), problem);
    select.bind(1, computer.toCaseFolded());
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW)
        outcomes.append(outcomeOf(select));
    return rc == SQLITE_DONE || fail(QStringLiteral("read"), problem);
}

bool RunHistory::latest(QHash<QString, Outcome> &outcomes, QString &problem)
{
    outcomes.clear();
    if (!open(false, problem))
        return problem.isEmpty();
    // Oldest first: each computer's newest outcome is the one left.
    Statement select(m_db, "SELECT computer, status, time, run, kind, reason, folded FROM outcome ORDER BY time, rowid");
    if (!select.prepared())
        return fail(QStringLiteral("read"), problem);
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW)
        outcomes.insert(select.text(6), outcomeOf(select));
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
