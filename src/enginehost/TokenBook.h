#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The single-run tokens the clients authenticate with. Only each token's
// SHA-256 is kept, so a memory dump of the engine gives no client's token
// away; a check compares in constant time, so timing tells an attacker
// nothing about how near a guess came.
class TokenBook
{
public:
    // A fresh token for `computer` (any earlier one is forgotten), as
    // lower-case hex of modProtocol::TokenBytes random bytes.
    QString create(const QString &computer);
    // Whether `token` is the one given to `computer`; computer names are
    // compared without regard to case, as the job compares them.
    bool check(const QString &computer, const QString &token) const;
    bool knows(const QString &computer) const { return m_hashes.contains(computer.toLower()); }

private:
    QHash<QString, QByteArray> m_hashes;
};
