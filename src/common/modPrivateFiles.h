#pragma once

#include <QString>

class QFileDevice;

// Folders and files that hold passwords, however scrambled: the results
// folder of a job and the client configuration files. Only their owner may
// read them (folders 0700, files 0600), whatever the umask says.
namespace modPrivateFiles {

// Creates the folder with its parents when missing and closes it to other
// users; the parents keep what they have. False when it cannot be made.
bool MakeFolder(const QString &path);

// Call on an open file before writing to it.
void Restrict(QFileDevice &file);

} // namespace modPrivateFiles
