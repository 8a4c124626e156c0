#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

// Checks on text that the administrator types or imports. Each check answers
// yes or no and shows nothing; the caller words the message.
namespace modFormat {

// A user, group, domain, workgroup, computer or server name. `ShortName`
// narrows the length to 15 characters (a NetBIOS domain name).
bool IsValidName(const QString &text, bool ShortName = false);

// A domain, a domain controller or a directory server: a name IsValidName
// takes, or a DNS name of up to 253 characters, dot-separated labels of 1 to
// 63 letters, digits and hyphens, none starting or ending with a hyphen.
// The 20 characters of a name are too few for most fully qualified names
// ("dc01.corp.example.com"), and a controller is usually known by one.
bool IsValidHostName(const QString &text);

// A Windows computer name, as the administrator types or a file brings it:
// at most 15 characters (a NetBIOS name), letters, digits, hyphens and
// underscores, and not digits alone.
bool IsValidComputerName(const QString &text);

// One file or folder name on a Windows client. Empty text passes.
bool IsValidFileName(const QString &text);

// A path on a Windows client ("C:\Program Files\Varno", "\\server\share\dir").
bool IsValidPath(const QString &text, bool IsFolder, bool MustBeAbsolute, bool AllowDrive, bool AllowUNC);

// A folder or file on this machine: absolute, "/" separated.
bool IsValidLocalPath(const QString &text, bool IsFolder);

// A number as the configuration takes one: ASCII digits and nothing else,
// so "80a", "1e3", " 80" and "" are not numbers, whatever a looser reading
// would make of them.
bool IsNumeric(const QString &text);

// A dotted IPv4 address.
bool IsValidIPAddress(const QString &text);

// "||" becomes CR; then each placeholder of the (placeholder, value, ...)
// list is replaced in list order.
QString FillTemplate(const QString &templateText, const QStringList &replacements);

// A UTC time as this machine's local time followed by its offset, in
// `format` ("yyyy-MM-dd HH:mm" gives "2026-12-09 21:00 +01:00"), so that a
// time kept in UTC is never mistaken for another zone's.
QString LocalTimeWithOffset(const QDateTime &utc, const QString &format);

} // namespace modFormat
