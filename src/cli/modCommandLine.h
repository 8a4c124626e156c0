#pragma once

#include <QString>

#include <optional>

class QTextStream;

// What every vo command does alike.
namespace modCommandLine {

// The exit status of a command that could not do its work.
constexpr int Failed = 1;

// Whether `token` asks for a command's usage: /? -? -h --help.
bool IsHelp(const QString &token);

// Writes "ERROR: " and `text` as one line on `err` and returns Failed.
int Fail(QTextStream &err, const QString &text);

// The listener address of a run or an export: the one the command line
// gives (std::nullopt when it gives none), else the console's own rule,
// modNetwork::GetListenerIP, which also empties a stored address this
// machine no longer has. Empty, with the reason in `problem`, when the given
// text is no dotted IPv4 address or the machine has none to offer.
QString ListenerAddress(const std::optional<QString> &given, QString &problem);

} // namespace modCommandLine
