#pragma once

#include <cstddef>
#include <string>

// The client service's file handling: every read bounded before it
// allocates, nothing written or moved through a link, new files 0600 and
// folders 0700.
namespace modClientFiles {

std::string Join(const std::string &folder, const std::string &name);

// The whole regular file at `path`, refused (not read) when it is larger than `limit`.
bool ReadBounded(const std::string &path, std::size_t limit, std::string &data, std::string &problem);

// Replaces `path` with `data` through a new file beside it, so that a reader
// never sees half a file and a link planted at `path` is replaced, not followed.
bool Replace(const std::string &path, const std::string &data, std::string &problem);

// Appends a line to an open log (or makes it, 0600); never through a link.
int OpenLog(const std::string &path, std::string &problem);

// Makes `path` and missing parents (0755), and checks that it is a real folder.
bool MakeFolders(const std::string &path, std::string &problem);

// Makes `path` and missing parents; `path` itself is 0700 and must end up a
// real folder owned by this process's user.
bool MakePrivateFolder(const std::string &path, std::string &problem);

// Moves a regular file, copying it when `to` lies on another file system.
bool Move(const std::string &from, const std::string &to, std::string &problem);

} // namespace modClientFiles
