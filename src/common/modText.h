#pragma once

#include <QAnyStringView>
#include <QString>

// Text rules shared by the whole console.
namespace modText {

// Names are compared as an administrator reads them: "ÄRGER" and "ärger"
// are the same name.
bool SameText(QAnyStringView a, QAnyStringView b);
// <0, 0, >0 like strcmp, without regard to case.
int CompareText(QStringView a, QStringView b);

// The character's code in the Windows ANSI code page (Windows-1252), the
// code page the clients and the engine read; -1 when it has none there.
int AnsiCode(QChar c);
// The character for an ANSI (Windows-1252) code 0 to 255; U+FFFD for the five unassigned codes.
QChar FromAnsiCode(int code);
// Bytes in Windows-1252, one per character; characters without a code become '?'.
QByteArray ToAnsi(const QString &text);
QString FromAnsi(const QByteArray &bytes);

// The first character of `text` that cannot reach a client intact, empty
// text when there is none. The clients' configuration file carries
// character codes 32 to 199 of the ANSI code page and nothing else: a
// control character or a line end would split its line, and codes above
// 199 do not survive the scrambling. The same rule keeps ESC sequences and
// right-to-left overrides in names from ever reaching a terminal.
QString UnsendableCharacter(QStringView text);

} // namespace modText
