#pragma once

#include <QString>

class QTextStream;

// What every vo command does alike.
namespace modCommandLine {

// The exit status of a command that could not do its work.
constexpr int Failed = 1;

// Writes "ERROR: " and `text` as one line on `err` and returns Failed.
int Fail(QTextStream &err, const QString &text);

} // namespace modCommandLine
