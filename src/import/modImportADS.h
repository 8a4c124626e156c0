#pragma once

#include <QString>

// Helpers of the directory import that need no connection.
namespace modImportADS {

// The group path of a directory object: the OU components of the DN inside
// an ADsPath ("LDAP://server/CN=PC1,OU=Sales,OU=Europe,DC=corp,DC=example"),
// outermost first and joined by "\" ("Europe\Sales"). Empty for a text that
// is no "LDAP://" path or a DN without OU components.
QString ParseOUPath(const QString &adsPath);

} // namespace modImportADS
