#pragma once

#include <QString>

#include <memory>

class QLockFile;

// What happens before the main window exists, and the few rules of the
// window's frame that do not need a window to be checked.
namespace modStartup {

// The console's key, made as every vo command that runs a job makes it
// (modConsoleKey::Prepare); false, after the message, ends the start.
bool PrepareRegistry();

// The lock that marks a running console: beside the registry store, so that
// a second console on the same store sees the first.
QString InstanceLockPath();

// True when another console already runs. Otherwise `claim` holds this
// process's lock until it is destroyed. A console that crashed leaves its
// lock file behind; a lock whose process is gone does not count.
// When the lock cannot be written at all, the console starts anyway:
// refusing to start would be worse than a second window.
bool PrevInstance(std::unique_ptr<QLockFile> &claim);

// Where the running console listens for a second one (ConsoleInstance),
// beside the lock.
QString InstanceServerName();

// The title bar: "Varno-Osk - Profile Migration System: " + job name.
QString MainCaption(const QString &jobName);

// "WelcomeScreen" exactly "1" means the administrator asked not to see the
// welcome screen again; any other text, or none, shows it.
bool WelcomeScreenWanted();
void SaveWelcomeScreen(bool dontShowAgain);

} // namespace modStartup
