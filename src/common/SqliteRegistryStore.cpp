#include "common/SqliteRegistryStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include "common/SqliteStatement.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include <unistd.h>

namespace {

// "VORG" in the file header marks a registry store of ours.
constexpr int kApplicationId = 0x564F5247;
constexpr int kSchemaVersion = 1;
// The platform's limits on names.
constexpr qsizetype kMaxKeyNameLength = 255;
constexpr qsizetype kMaxValueNameLength = 16383;

// The predefined roots are rows 1 to 7, in the order of Reg::Root.
qint64 rootRowId(RegKey root)
{
    return static_cast<qint64>(root - Reg::ClassesRoot) + 1;
}

bool isRoot(RegKey key)
{
    return key >= Reg::ClassesRoot && key <= Reg::DynData;
}

QString fold(const QString &name)
{
    return name.toCaseFolded();
}

long codeForSqlite(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_FORMAT:
    case SQLITE_SCHEMA:
        return Reg::BadDb;
    case SQLITE_CANTOPEN:
        return Reg::CantOpen;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        return Reg::AccessDenied;
    case SQLITE_FULL:
        return Reg::DiskFull;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Reg::Busy;
    case SQLITE_NOMEM:
        return Reg::OutOfMemory;
    default:
        return Reg::RegistryIoFailed;
    }
}

// Splits a subkey path into key names; false for a path the platform refuses.
long splitSubKey(const QString &subKey, QStringList *components)
{
    components->clear();
    if (subKey.isEmpty())
        return Reg::Success;
    *components = subKey.split(QLatin1Char('\\'));
    for (const QString &component : std::as_const(*components)) {
        if (component.isEmpty())
            return Reg::BadPathName;
        if (component.size() > kMaxKeyNameLength)
            return Reg::InvalidParameter;
    }
    return Reg::Success;
}

} // namespace

SqliteRegistryStore::SqliteRegistryStore(QString path)
    : m_path(std::move(path))
{ }

SqliteRegistryStore::~SqliteRegistryStore()
{
    sqlite3_close_v2(m_db);
}

long SqliteRegistryStore::fail(long code, const QString &text)
{
    m_lastError = text;
    return code;
}

long SqliteRegistryStore::failSqlite(int rc, const QString &doing)
{
    const long code = codeForSqlite(rc);
    const QString reason = m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QString::fromUtf8(sqlite3_errstr(rc));
    if (code == Reg::BadDb)
        return damaged(reason);
    if (code == Reg::Busy)
        return fail(code, QStringLiteral("The registry store \"%1\" is locked by another program (%2).").arg(m_path, reason));
    return fail(code, QStringLiteral("The registry store \"%1\" could not be %2 (%3).").arg(m_path, doing, reason));
}

long SqliteRegistryStore::damaged(const QString &reason)
{
    // Whatever is wrong with the file, it stays as it is: it may hold the
    // only copy of the administrator's configuration.
    sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_writable = false;
    return fail(Reg::BadDb,
        QStringLiteral("The registry store \"%1\" is damaged or is not a Varno-Osk registry store (%2). "
                       "It was left unchanged; move it aside to start with an empty store.")
            .arg(m_path, reason));
}

long SqliteRegistryStore::ensureOpen()
{
    if (m_db)
        return Reg::Success;

    const QFileInfo info(m_path);
    if (info.exists() && !info.isFile())
        return fail(Reg::CantOpen, QStringLiteral("The registry store \"%1\" is not a file.").arg(m_path));
    if (!info.exists()) {
        if (!QDir().mkpath(info.absolutePath()))
            return fail(Reg::CantOpen, QStringLiteral("The folder of the registry store \"%1\" could not be created.").arg(m_path));
        if (long code = createStore(); code != Reg::Success)
            return code;
    } else if (info.size() == 0) {
        // SQLite would take an empty file for an empty database; it is more
        // likely a store that lost its contents.
        return fail(Reg::BadDb,
            QStringLiteral("The registry store \"%1\" is an empty file. It was left unchanged; move it aside to start with an empty store.")
                .arg(m_path));
    }

    m_writable = false;
    const QByteArray encoded = QFile::encodeName(m_path);
    const int rc = sqlite3_open_v2(encoded.constData(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const long code = failSqlite(rc, QStringLiteral("opened"));
        sqlite3_close_v2(m_db);
        m_db = nullptr;
        return code;
    }
    sqlite3_extended_result_codes(m_db, 0);
    sqlite3_busy_timeout(m_db, BusyTimeoutMs);

    const long code = checkHeader();
    if (code != Reg::Success) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
    return code;
}

long SqliteRegistryStore::checkHeader()
{
    int rc = sqlite3_exec(m_db, "PRAGMA foreign_keys = ON", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return failSqlite(rc, QStringLiteral("opened"));

    Statement st(m_db,
        "SELECT (SELECT application_id FROM pragma_application_id),"
        "       (SELECT user_version FROM pragma_user_version)");
    rc = st.prepared() ? st.step() : st.prepareResult();
    if (rc != SQLITE_ROW)
        return failSqlite(rc, QStringLiteral("read"));
    if (st.int64(0) != kApplicationId || st.int64(1) < 1) {
        return fail(Reg::BadDb,
            QStringLiteral("The file \"%1\" is not a Varno-Osk registry store. It was left unchanged; "
                           "point VARNO_OSK_REGISTRY at another file or move it aside.")
                .arg(m_path));
    }
    if (st.int64(1) > kSchemaVersion) {
        return fail(Reg::BadDb,
            QStringLiteral("The registry store \"%1\" was written by a newer version of Varno-Osk and was left unchanged.").arg(m_path));
    }
    return Reg::Success;
}

long SqliteRegistryStore::createStore()
{
    // The tables are laid out under a temporary name and the file is linked
    // into place whole, so no program ever finds the store empty or half
    // made. Of several programs starting at once the first link wins and the
    // others use that store.
    static const char *const schema = "BEGIN;"
                                      "CREATE TABLE keys ("
                                      "  id INTEGER PRIMARY KEY,"
                                      "  parent INTEGER REFERENCES keys(id) ON DELETE CASCADE,"
                                      "  name TEXT NOT NULL,"
                                      "  fold TEXT NOT NULL,"
                                      "  UNIQUE (parent, fold));"
                                      "CREATE TABLE vals ("
                                      "  id INTEGER PRIMARY KEY,"
                                      "  key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
                                      "  name TEXT NOT NULL,"
                                      "  fold TEXT NOT NULL,"
                                      "  type INTEGER NOT NULL,"
                                      "  data BLOB NOT NULL,"
                                      "  UNIQUE (key, fold));"
                                      "INSERT INTO keys (id, parent, name, fold) VALUES"
                                      "  (1, NULL, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'),"
                                      "  (2, NULL, 'HKEY_CURRENT_USER', 'hkey_current_user'),"
                                      "  (3, NULL, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),"
                                      "  (4, NULL, 'HKEY_USERS', 'hkey_users'),"
                                      "  (5, NULL, 'HKEY_PERFORMANCE_DATA', 'hkey_performance_data'),"
                                      "  (6, NULL, 'HKEY_CURRENT_CONFIG', 'hkey_current_config'),"
                                      "  (7, NULL, 'HKEY_DYN_DATA', 'hkey_dyn_data'),"
                                      // Software exists under these two roots on every Windows machine;
                                      // programs create their own keys below it and expect it there.
                                      "  (8, 2, 'Software', 'software'),"
                                      "  (9, 3, 'SOFTWARE', 'software');"
                                      "PRAGMA application_id = 1448038983;"
                                      "PRAGMA user_version = 1;"
                                      "COMMIT;";
    static_assert(kApplicationId == 1448038983);
    static_assert(kSchemaVersion == 1);

    auto failCreate = [this](long code, const QString &reason) {
        return fail(code, QStringLiteral("The registry store \"%1\" could not be created (%2).").arg(m_path, reason));
    };
    QTemporaryFile temporary(m_path + QStringLiteral(".XXXXXX"));
    if (!temporary.open())
        return failCreate(Reg::CantOpen, temporary.errorString());
    const QByteArray temporaryName = QFile::encodeName(temporary.fileName());
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(temporaryName.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, schema, nullptr, nullptr, nullptr);
    const QString reason = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK)
        return failCreate(codeForSqlite(rc), reason);
    if (::link(temporaryName.constData(), QFile::encodeName(m_path).constData()) != 0 && errno != EEXIST)
        return failCreate(Reg::CantOpen, QString::fromLocal8Bit(std::strerror(errno)));
    return Reg::Success;
}

long SqliteRegistryStore::checkWritable()
{
    if (m_writable)
        return Reg::Success;
    QString result;
    {
        Statement st(m_db, "PRAGMA integrity_check(1)");
        const int rc = st.prepared() ? st.step() : st.prepareResult();
        if (rc != SQLITE_ROW)
            return failSqlite(rc, QStringLiteral("checked"));
        result = st.text(0);
    }
    if (result != QLatin1String("ok"))
        return damaged(result);
    m_writable = true;
    return Reg::Success;
}

long SqliteRegistryStore::keyDepth(qint64 id, int *depth)
{
    // Counted only as far as the limit, so that a damaged chain of parents
    // that loops back on itself still ends.
    Statement st(m_db,
        "WITH RECURSIVE up(id, depth) AS ("
        "  SELECT ?, 0"
        "  UNION ALL"
        "  SELECT k.parent, up.depth + 1 FROM keys k JOIN up ON k.id = up.id"
        "  WHERE k.parent IS NOT NULL AND up.depth <= ?)"
        "SELECT max(depth) FROM up");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, id);
    st.bind(2, qint64(Reg::MaxKeyDepth));
    const int rc = st.step();
    if (rc != SQLITE_ROW)
        return failSqlite(rc, QStringLiteral("read"));
    *depth = static_cast<int>(st.int64(0));
    return Reg::Success;
}

long SqliteRegistryStore::begin()
{
    const int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? Reg::Success : failSqlite(rc, QStringLiteral("locked for writing"));
}

long SqliteRegistryStore::commit()
{
    const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return Reg::Success;
    const long code = failSqlite(rc, QStringLiteral("written"));
    rollback();
    return code;
}

void SqliteRegistryStore::rollback()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

template<typename Body> long SqliteRegistryStore::write(Body &&body)
{
    if (long code = checkWritable(); code != Reg::Success)
        return code;
    if (long code = begin(); code != Reg::Success)
        return code;
    if (long code = body(); code != Reg::Success) {
        rollback();
        return code;
    }
    return commit();
}

long SqliteRegistryStore::execute(Statement &statement)
{
    const int rc = statement.prepared() ? statement.step() : statement.prepareResult();
    return rc == SQLITE_DONE ? Reg::Success : failSqlite(rc, QStringLiteral("written"));
}

RegKey SqliteRegistryStore::addHandle(qint64 id, quint32 access)
{
    // Handles stay below the predefined roots, which start at 0x80000000.
    RegKey handle = m_nextHandle++;
    m_handles.insert(handle, {id, access});
    return handle;
}

long SqliteRegistryStore::resolve(RegKey key, quint32 needed, OpenKey *open)
{
    if (isRoot(key)) {
        open->id = rootRowId(key);
        open->access = Reg::KeyAllAccess;
        return Reg::Success;
    }
    const auto it = m_handles.constFind(key);
    if (it == m_handles.constEnd())
        return fail(Reg::InvalidHandle, QString());
    if ((it->access & needed) != needed)
        return fail(Reg::AccessDenied, QString());

    // Another program may have deleted the key since it was opened here.
    Statement st(m_db, "SELECT 1 FROM keys WHERE id = ?");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, it->id);
    const int rc = st.step();
    if (rc == SQLITE_DONE)
        return fail(Reg::KeyDeleted, QString());
    if (rc != SQLITE_ROW)
        return failSqlite(rc, QStringLiteral("read"));
    *open = *it;
    return Reg::Success;
}

long SqliteRegistryStore::findChild(qint64 parent, const QString &name, qint64 *child)
{
    Statement st(m_db, "SELECT id FROM keys WHERE parent = ? AND fold = ?");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, parent);
    st.bind(2, fold(name));
    const int rc = st.step();
    if (rc == SQLITE_DONE) {
        *child = 0;
        return Reg::Success;
    }
    if (rc != SQLITE_ROW)
        return failSqlite(rc, QStringLiteral("read"));
    *child = st.int64(0);
    return Reg::Success;
}

long SqliteRegistryStore::walk(qint64 from, const QStringList &components, qint64 *found)
{
    qint64 id = from;
    for (const QString &component : components) {
        qint64 child = 0;
        if (long code = findChild(id, component, &child); code != Reg::Success)
            return code;
        if (child == 0)
            return fail(Reg::FileNotFound, QString());
        id = child;
    }
    *found = id;
    return Reg::Success;
}

long SqliteRegistryStore::connect(const QString &machineName, RegKey root, RegKey *result)
{
    m_lastError.clear();
    if (!machineName.isEmpty()) {
        // No remote registry service exists on this platform.
        return fail(Reg::BadNetPath, QString());
    }
    if (!isRoot(root))
        return fail(Reg::InvalidHandle, QString());
    *result = root;
    return Reg::Success;
}

long SqliteRegistryStore::openKey(RegKey parent, const QString &subKey, quint32 access, RegKey *result)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    QStringList components;
    if (long code = splitSubKey(subKey, &components); code != Reg::Success)
        return fail(code, QString());
    OpenKey from;
    if (long code = resolve(parent, 0, &from); code != Reg::Success)
        return code;
    qint64 id = 0;
    if (long code = walk(from.id, components, &id); code != Reg::Success)
        return code;
    *result = addHandle(id, access);
    return Reg::Success;
}

long SqliteRegistryStore::createKey(RegKey parent, const QString &subKey, RegKey *result)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    QStringList components;
    if (long code = splitSubKey(subKey, &components); code != Reg::Success)
        return fail(code, QString());

    qint64 id = 0;
    const long written = write([&]() -> long {
        OpenKey from;
        if (long code = resolve(parent, 0, &from); code != Reg::Success)
            return code;
        int depth = 0;
        if (long code = keyDepth(from.id, &depth); code != Reg::Success)
            return code;
        if (depth + components.size() > Reg::MaxKeyDepth) {
            return fail(
                Reg::InvalidParameter, QStringLiteral("A registry key can be at most %1 levels below its root.").arg(Reg::MaxKeyDepth));
        }
        id = from.id;
        for (const QString &component : std::as_const(components)) {
            qint64 child = 0;
            if (long code = findChild(id, component, &child); code != Reg::Success)
                return code;
            if (child == 0) {
                Statement insert(m_db, "INSERT INTO keys (parent, name, fold) VALUES (?, ?, ?)");
                insert.bind(1, id);
                insert.bind(2, component);
                insert.bind(3, fold(component));
                if (long code = execute(insert); code != Reg::Success)
                    return code;
                child = sqlite3_last_insert_rowid(m_db);
            }
            id = child;
        }
        return Reg::Success;
    });
    if (written != Reg::Success)
        return written;
    *result = addHandle(id, Reg::KeyAllAccess);
    return Reg::Success;
}

long SqliteRegistryStore::closeKey(RegKey key)
{
    m_lastError.clear();
    if (isRoot(key))
        return Reg::Success;
    return m_handles.remove(key) ? Reg::Success : fail(Reg::InvalidHandle, QString());
}

long SqliteRegistryStore::setValue(RegKey key, const QString &name, quint32 type, const QByteArray &data)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    if (name.size() > kMaxValueNameLength)
        return fail(Reg::InvalidParameter, QString());

    return write([&]() -> long {
        OpenKey open;
        if (long code = resolve(key, Reg::SetValue, &open); code != Reg::Success)
            return code;
        // A value keeps the spelling of its name from its first write, as the registry does.
        Statement upsert(m_db,
            "INSERT INTO vals (key, name, fold, type, data) VALUES (?, ?, ?, ?, ?) "
            "ON CONFLICT (key, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
        upsert.bind(1, open.id);
        upsert.bind(2, name);
        upsert.bind(3, fold(name));
        upsert.bind(4, static_cast<qint64>(type));
        upsert.bindBlob(5, data);
        return execute(upsert);
    });
}

long SqliteRegistryStore::queryValue(RegKey key, const QString &name, quint32 *type, QByteArray *data)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    OpenKey open;
    if (long code = resolve(key, Reg::QueryValue, &open); code != Reg::Success)
        return code;
    Statement st(m_db, "SELECT type, data FROM vals WHERE key = ? AND fold = ?");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, open.id);
    st.bind(2, fold(name));
    const int rc = st.step();
    if (rc == SQLITE_DONE)
        return fail(Reg::FileNotFound, QString());
    if (rc != SQLITE_ROW)
        return failSqlite(rc, QStringLiteral("read"));
    *type = static_cast<quint32>(st.int64(0));
    *data = st.blob(1);
    return Reg::Success;
}

long SqliteRegistryStore::deleteValue(RegKey key, const QString &name)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;

    return write([&]() -> long {
        OpenKey open;
        if (long code = resolve(key, Reg::SetValue, &open); code != Reg::Success)
            return code;
        Statement del(m_db, "DELETE FROM vals WHERE key = ? AND fold = ?");
        del.bind(1, open.id);
        del.bind(2, fold(name));
        if (long code = execute(del); code != Reg::Success)
            return code;
        return sqlite3_changes(m_db) == 0 ? fail(Reg::FileNotFound, QString()) : Reg::Success;
    });
}

long SqliteRegistryStore::deleteTree(RegKey key, const QString &subKey)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    QStringList components;
    if (long code = splitSubKey(subKey, &components); code != Reg::Success)
        return fail(code, QString());

    return write([&]() -> long {
        OpenKey open;
        qint64 id = 0;
        if (long code = resolve(key, 0, &open); code != Reg::Success)
            return code;
        if (long code = walk(open.id, components, &id); code != Reg::Success)
            return code;
        if (id <= rootRowId(Reg::DynData))
            return fail(Reg::AccessDenied, QStringLiteral("A root key cannot be deleted."));
        return deleteSubtree(id);
    });
}

long SqliteRegistryStore::deleteSubtree(qint64 id)
{
    // Deepest keys first: a key then has no subkeys left when it goes, and
    // the cascade only takes its values. Left to the cascade, a deep chain
    // would run into SQLite's limit on nested triggers.
    QList<qint64> ids;
    {
        Statement below(m_db,
            "WITH RECURSIVE down(id, depth) AS ("
            "  SELECT ?, 0"
            "  UNION ALL"
            "  SELECT k.id, down.depth + 1 FROM keys k JOIN down ON k.parent = down.id)"
            "SELECT id FROM down ORDER BY depth DESC");
        if (!below.prepared())
            return failSqlite(below.prepareResult(), QStringLiteral("read"));
        below.bind(1, id);
        int rc;
        while ((rc = below.step()) == SQLITE_ROW)
            ids.append(below.int64(0));
        if (rc != SQLITE_DONE)
            return failSqlite(rc, QStringLiteral("read"));
    }
    Statement del(m_db, "DELETE FROM keys WHERE id = ?");
    for (const qint64 key : std::as_const(ids)) {
        del.reset();
        del.bind(1, key);
        if (long code = execute(del); code != Reg::Success)
            return code;
    }
    return Reg::Success;
}

long SqliteRegistryStore::enumKeys(RegKey key, QStringList *names)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    OpenKey open;
    if (long code = resolve(key, 0, &open); code != Reg::Success)
        return code;
    Statement st(m_db, "SELECT name FROM keys WHERE parent = ? ORDER BY fold");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, open.id);
    names->clear();
    int rc;
    while ((rc = st.step()) == SQLITE_ROW)
        names->append(st.text(0));
    return rc == SQLITE_DONE ? Reg::Success : failSqlite(rc, QStringLiteral("read"));
}

long SqliteRegistryStore::enumValues(RegKey key, QList<Value> *values)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    OpenKey open;
    if (long code = resolve(key, Reg::QueryValue, &open); code != Reg::Success)
        return code;
    Statement st(m_db, "SELECT name, type, data FROM vals WHERE key = ? ORDER BY id");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, open.id);
    values->clear();
    int rc;
    while ((rc = st.step()) == SQLITE_ROW)
        values->append({st.text(0), static_cast<quint32>(st.int64(1)), st.blob(2)});
    return rc == SQLITE_DONE ? Reg::Success : failSqlite(rc, QStringLiteral("read"));
}

long SqliteRegistryStore::keyName(RegKey key, QString *fullName)
{
    m_lastError.clear();
    if (long code = ensureOpen(); code != Reg::Success)
        return code;
    OpenKey open;
    if (long code = resolve(key, 0, &open); code != Reg::Success)
        return code;

    QStringList parts;
    Statement st(m_db,
        "WITH RECURSIVE up(id, parent, name, depth) AS ("
        "  SELECT id, parent, name, 0 FROM keys WHERE id = ?"
        "  UNION ALL"
        "  SELECT k.id, k.parent, k.name, up.depth + 1 FROM keys k JOIN up ON k.id = up.parent)"
        "SELECT name FROM up ORDER BY depth DESC");
    if (!st.prepared())
        return failSqlite(st.prepareResult(), QStringLiteral("read"));
    st.bind(1, open.id);
    int rc;
    while ((rc = st.step()) == SQLITE_ROW)
        parts.append(st.text(0));
    if (rc != SQLITE_DONE)
        return failSqlite(rc, QStringLiteral("read"));
    *fullName = parts.join(QLatin1Char('\\'));
    return Reg::Success;
}

QString SqliteRegistryStore::lastErrorText() const
{
    return m_lastError;
}
