#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The plain text of a client's "varnoosk.cfg": one "KEY=value" line per
// entry, CR LF after every line (the last one too), the keys always in the
// same order. The console writes it (QXEInterface::CreateConfigFile); the
// client services read it back after descrambling.
class ClientConfig
{
public:
    // The version the clients of this console understand.
    static const QString Version; // "00002"
    // A file of 35 short lines is a few kilobytes; one far larger is not one
    // and is not read into memory.
    static constexpr qint64 MaxFileBytes = qint64(1) << 20;

    // The 35 keys in file order, each with its "=".
    static const QStringList &Keys();
    // Whether the value of `key` ("OSKPASS=") is an account's password.
    static bool IsPasswordKey(const QString &key);

    // Builds the text from values given in key order.
    static QString Compose(const QStringList &values);

    // Reads a text as the clients do, and insists on what they rely on: every
    // key present once, in order, each line ended by CR LF, VERSION "00002".
    // False with the reason in `problem` otherwise.
    bool Parse(const QString &text, QString *problem = nullptr);

    // The value of a key given with or without its "="; empty when absent.
    QString Value(const QString &key) const;
    const QList<QPair<QString, QString>> &Entries() const { return m_entries; }

private:
    QList<QPair<QString, QString>> m_entries; // key with "=", value
};
