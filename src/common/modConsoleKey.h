#pragma once

// The console's own registry key, which every configuration value lives
// under. The console makes it at start-up; so does every vo command that
// runs or exports a job, so that a fresh store needs no set-up first.
namespace modConsoleKey {

// Creates (or opens) "HKCU\Software\Brindlewood" and the console's key below
// it, and sets AppState's AppKeyPath. On failure the administrator is told
// which key could not be created, and the answer is false.
bool Prepare();

} // namespace modConsoleKey
