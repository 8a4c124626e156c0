#pragma once

#include <QByteArray>
#include <QString>

// The text of a user list file as spreadsheets save it: UTF-8 with or
// without a byte order mark, or the Windows ANSI code page (1252) of the
// administrators' machines when the bytes are not valid UTF-8.
class UserFileReader
{
public:
    // Far beyond the largest list anyone keeps (a million lines take about
    // 40 MB), and small enough that a wrong file cannot exhaust memory.
    static constexpr qint64 MaxFileBytes = qint64(256) * 1024 * 1024;

    enum class Status {
        Read,
        // Not there, or the system refused to open or read it.
        Failed,
        // A folder, a device or a pipe: nothing a user list can be.
        NotAFile,
        TooLarge,
    };

    // Reads and decodes `path`; `text` holds the file's lines on success.
    static Status Read(const QString &path, QString &text);
    static QString Decode(const QByteArray &bytes);
};
