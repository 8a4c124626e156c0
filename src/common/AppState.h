#pragma once

#include <QString>

// The console's application-wide state: one instance, read and set by every
// subsystem on the user-interface thread.
namespace AppState {

enum RunMode : int {
    RunMigration = 0,
    RunNetworkTest = 1,
    RunPingTest = 2,
};

struct State
{
    // "HKCU\Software\Brindlewood\Varno-Osk", set once at start-up.
    QString AppKeyPath = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");
    QString CurrentJobName;
    // Path of the loaded settings file; empty when none.
    QString CurrentSettingsFile;
    // True after any structural change of the computer tree or a saved object setting.
    bool DatabaseChanged = false;
    // True while no run is in progress, so that the console may exit without a warning.
    bool MigrationIdle = false;
    // True while a migration run (or a test) is in progress; no editing then.
    bool MigrationRunning = false;
    RunMode Mode = RunMigration;
    // Computer IDs handed out when the job was last exported; 0 also when
    // none of them was active (ComputerDBJobExport).
    int ExportComputerCount = 0;
};

State &Get();
// Back to the state of a fresh start (tests).
void Reset();

} // namespace AppState
