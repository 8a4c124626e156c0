#pragma once

#include <QString>

#include <optional>

// Opening files and folders with their associated programs, through the
// installed AssociatedOpener.
namespace modShell {

// Opens `path` with its associated program. Without a working folder one is
// taken from the path: the folder it names, else the folder its last "/"
// ends. An empty working folder is not the same as none: it skips that
// search, for a path (a results folder, say) that is itself what may be
// missing. Returns empty text when the program was started, else the reason.
QString OpenAssociated(const QString &path, const std::optional<QString> &workingFolder = std::nullopt);

// The reason for an opener's result below AssociatedOpener::Opened.
QString OpenFailureReason(int result);

} // namespace modShell
