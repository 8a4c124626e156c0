#pragma once

#include <QString>

// A run the simulated engine plays: every computer seems to migrate and
// nothing is touched. Whatever shows such a run's results says so with the
// texts below, so that a rehearsal can never be taken for a migration.
namespace modRehearsal {

// The registry value "Engine" that rehearses, and the one that reaches the
// clients over ssh.
inline constexpr char EngineRehearsal[] = "rehearsal";
inline constexpr char EngineSsh[] = "ssh";

// "Rehearsal"
QString Word();
// `text` + " [Rehearsal]": window captions, report titles, summaries.
QString Label(const QString &text);
// The first and the last line of a rehearsal's progress log, handler log
// and terminal output.
QString FirstLine();
QString LastLine();
// The first line of a run on the ssh engine, in the same places: it names
// the engine and says that the clients are changed.
QString SshFirstLine();

// A rehearsal leaves this file in the folder of its status file, so that
// `vo retry` knows its statuses for what they are: no computer finished.
inline constexpr char MarkerFile[] = "rehearsal.txt";
// The text a caller shows when it treats a rehearsal's statuses as "nothing
// done": every computer is kept.
QString NothingMigrated();

// What the registry value Engine says. It has no default: a migration
// never starts on the ssh engine, nor on the simulated one, unless the
// administrator chose it once.
enum class Choice { NotChosen, Rehearsal, Ssh, Unknown };
Choice Chosen();

// Whether the registry value Engine does not choose the ssh engine. Checks
// that only matter when clients are really reached, such as a listener they
// can call, are left out of a rehearsal.
bool EngineRehearses();

// Why a migration cannot start with the engine the registry names: a value
// that names no engine. Empty otherwise, also when none is chosen (the
// caller asks, or says how to choose). `forced` (vo run --rehearsal)
// rehearses whatever the registry says.
QString Refusal(bool forced = false);

} // namespace modRehearsal
