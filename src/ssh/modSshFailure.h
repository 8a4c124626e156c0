#pragma once

#include <QByteArray>
#include <QString>

// What went wrong when ssh (or scp through it) could not reach a client, read
// from its exit status and its standard error (its children run with LANG=C,
// so the texts are OpenSSH's own English ones).
namespace modSshFailure {

// A finding code from modFindings (NameDoesNotResolve ... SshFailed) with
// ssh's reason in `reason`; 0 when the failure is not ssh's but the remote
// command's (any exit status but 255 without one of ssh's complaints).
int Classify(int exitCode, const QByteArray &error, QString &reason);

} // namespace modSshFailure
