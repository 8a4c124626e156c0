#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Reading a file given from outside (a command line, a registry value, a
// folder the engine shares with the clients) whole into memory. Such a path
// may name a device or a pipe that never ends ("/dev/zero", a FIFO with no
// writer blocks on opening) or a file far larger than its kind can be; each
// kind of file has a size limit, and anything that is not a regular file is
// refused before it is opened.
//
// Problems are phrases that follow "cannot be read: " in the caller's message.
namespace modFileRead {

// Why `path` is not to be opened: not a regular file, or larger than
// `limit` bytes. Empty when it may be (a path that does not exist is left to
// the opening, which says so in the system's words).
QString Refusal(const QString &path, qint64 limit);

// The whole file, of at most `limit` bytes; a file that grows past the limit
// while it is read is refused too.
std::optional<QByteArray> ReadAll(const QString &path, qint64 limit, QString &problem);

// "64 KB", "16 MB": a limit as the messages give it.
QString SizeText(qint64 bytes);

} // namespace modFileRead
