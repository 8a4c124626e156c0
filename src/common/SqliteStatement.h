#pragma once

#include <QByteArray>
#include <QString>

#include <sqlite3.h>

// One prepared SQLite statement of the console's own stores (the registry,
// the run history), finalised when it goes.
class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool prepared() const { return m_rc == SQLITE_OK; }
    int prepareResult() const { return m_rc; }

    void bind(int index, qint64 value) { sqlite3_bind_int64(m_stmt, index, value); }
    void bind(int index, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        sqlite3_bind_text(m_stmt, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    void bindBlob(int index, const QByteArray &data)
    {
        // A zero-length blob still has to be a blob, not NULL.
        sqlite3_bind_blob(m_stmt, index, data.isEmpty() ? "" : data.constData(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    }

    int step() { return sqlite3_step(m_stmt); }
    void reset() { sqlite3_reset(m_stmt); }

    qint64 int64(int column) const { return sqlite3_column_int64(m_stmt, column); }
    QString text(int column) const
    {
        const auto *chars = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        return QString::fromUtf8(chars, sqlite3_column_bytes(m_stmt, column));
    }
    QByteArray blob(int column) const
    {
        const auto *bytes = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(bytes, sqlite3_column_bytes(m_stmt, column));
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};
