#pragma once

#include <QString>

// A run that reverses an earlier migration: the engine reaches the chosen
// computers again and each client undoes its journal, newest step first (or,
// told to forget, removes the journal and reverses nothing). A rollback has
// results of its own, and whatever shows them says "Rollback", so that its
// successes are never read as migrations.
namespace modRollback {

// "Rollback"
QString Word();
// `text` + " [Rollback]": window captions, report titles, summaries.
QString Label(const QString &text);
// The first line of a rollback's progress log, handler log and terminal
// output; `forget` for a run that only removes the journals.
QString FirstLine(bool forget);
QString LastLine(bool forget);

// A rollback leaves this file in its results folder: its statuses say what
// was reversed, not what was migrated, so neither a retry nor another
// rollback takes them for a migration's.
inline constexpr char MarkerFile[] = "rollback.txt";

// The job name of the rollback of `job`, which names its results folder:
// "<job> rollback", or "<job> rollback 2" and so on when that one's holds
// results.
QString JobName(const QString &job);

} // namespace modRollback
