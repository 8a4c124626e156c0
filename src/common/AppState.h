#pragma once

#include <QString>

// The console's application-wide state: one instance, read and set by every
// subsystem on the user-interface thread. What runs (a migration, a test)
// is RunState's.
namespace AppState {

struct State
{
    // "HKCU\Software\Brindlewood\Varno-Osk", set once at start-up.
    QString AppKeyPath = QStringLiteral("HKCU\\Software\\Brindlewood\\Varno-Osk");
    QString CurrentJobName;
    // Path of the loaded settings file; empty when none.
    QString CurrentSettingsFile;
    // True after any structural change of the computer tree or a saved object setting.
    bool DatabaseChanged = false;
    // Computer IDs handed out when the job was last exported; 0 also when
    // none of them was active (ComputerDBJobExport).
    int ExportComputerCount = 0;
};

State &Get();
// Back to the state of a fresh start, the run state's included (tests).
void Reset();

} // namespace AppState
