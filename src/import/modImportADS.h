#pragma once

#include <QString>

// Helpers of the directory import that need no connection.
namespace modImportADS {

// The group path of a directory object: the OU components of the DN inside
// an ADsPath ("LDAP://server/CN=PC1,OU=Sales,OU=Europe,DC=corp,DC=example"),
// outermost first and joined by "\" ("Europe\Sales"). Empty for a text that
// is no "LDAP://" path or a DN without OU components.
QString ParseOUPath(const QString &adsPath);

// Why a computer the directory gave is not taken into the database, to
// follow its name; empty when it may come in. A name must reach the
// clients as it is (the job check's rule, modText::UnsendableCharacter),
// no text may be longer than a settings file keeps (modLimits), and no
// unit may carry control characters: ESC sequences and right-to-left
// overrides would reach the terminal of whoever lists the tree.
QString Refusal(const QString &name, const QString &dnsName, const QString &ou);
// A name as a message may show it: at most 64 characters, with control
// characters and other invisible ones as their code (U+001B).
QString Shown(const QString &name);

// The text Windows shows for the 16 bytes of an objectGUID:
// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower case, the first three
// groups little-endian as the bytes are stored. Empty for any other length.
QString GuidText(const QByteArray &bytes);

} // namespace modImportADS
