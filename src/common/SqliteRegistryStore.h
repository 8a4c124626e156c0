#pragma once

#include "common/RegistryStore.h"

#include <QHash>

struct sqlite3;
class Statement;

// The registry of this platform: one SQLite database file per user.
//
// Several programs may use the file at once (the console and vo reg):
// SQLite's locking with a busy timeout serialises them, and every write is
// one immediate transaction, so no write is lost and no reader sees half of
// one. A file that is not a store of ours, or a damaged one, is reported and
// never touched: a new store appears under its name only once it is whole,
// and a store that fails SQLite's integrity check can still be read but
// takes no write.
class SqliteRegistryStore final : public RegistryStore
{
public:
    explicit SqliteRegistryStore(QString path);
    ~SqliteRegistryStore() override;

    SqliteRegistryStore(const SqliteRegistryStore &) = delete;
    SqliteRegistryStore &operator=(const SqliteRegistryStore &) = delete;

    const QString &path() const { return m_path; }

    long connect(const QString &machineName, RegKey root, RegKey *result) override;
    long openKey(RegKey parent, const QString &subKey, quint32 access, RegKey *result) override;
    long createKey(RegKey parent, const QString &subKey, RegKey *result) override;
    long closeKey(RegKey key) override;
    long setValue(RegKey key, const QString &name, quint32 type, const QByteArray &data) override;
    long queryValue(RegKey key, const QString &name, quint32 *type, QByteArray *data) override;
    long deleteValue(RegKey key, const QString &name) override;
    long deleteTree(RegKey key, const QString &subKey) override;
    long enumKeys(RegKey key, QStringList *names) override;
    long enumValues(RegKey key, QList<Value> *values) override;
    long keyName(RegKey key, QString *fullName) override;
    QString lastErrorText() const override;

    // How long a call waits for another program's write to finish.
    static constexpr int BusyTimeoutMs = 10000;

private:
    struct OpenKey
    {
        qint64 id = 0;
        quint32 access = 0;
    };

    long ensureOpen();
    long createStore();
    long checkHeader();
    long damaged(const QString &reason);
    long checkWritable();
    long keyDepth(qint64 id, int *depth);
    long fail(long code, const QString &text);
    long failSqlite(int rc, const QString &doing);
    long resolve(RegKey key, quint32 needed, OpenKey *open);
    long findChild(qint64 parent, const QString &name, qint64 *child);
    long walk(qint64 from, const QStringList &components, qint64 *found);
    long begin();
    // Runs `body` in one immediate transaction: all of it is written, or none.
    template<typename Body>
    long write(Body &&body);
    long execute(Statement &statement);
    long commit();
    long deleteSubtree(qint64 id);
    void rollback();
    RegKey addHandle(qint64 id, quint32 access);

    QString m_path;
    sqlite3 *m_db = nullptr;
    QHash<RegKey, OpenKey> m_handles;
    RegKey m_nextHandle = 1;
    QString m_lastError;
    // Set once the integrity check has passed on the open connection.
    bool m_writable = false;
};
