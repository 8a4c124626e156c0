#pragma once

#include <QString>
#include <QStringList>

// How the simulated engine plays a migration: how fast, and which computers
// end how. A profile is a text file of "key = value" lines; "#" starts a
// comment, blank lines are ignored, keys are lower case:
//
//     # Varno-Osk simulation profile
//     step_ms = 1000            # time of one status step, 0 to 3600000
//     execute_steps = 3         # steps a client stays in "CL", 1 to 1000
//     warning = LAB-*, *-W      # these end with warnings ("PW", "XW")
//     error = *-ERR             # these end with errors ("PE", "XE")
//     silent = OLD-??           # these stop answering while executing
//     silent_timeout_ms = 5000  # how long the Handler waits for them
//     corrupt = BAD*            # their configuration file is damaged on the way
//     engine_error = 5000007    # the engine itself fails with this number ...
//     engine_error_after = 12   # ... after this many client steps
//
// Patterns are computer names with "*" (any text) and "?" (one character),
// without regard to case, separated by "," or given on several lines. A name
// matching more than one list takes the first of: silent, corrupt, error,
// warning. Without "silent_timeout_ms" the wait is the run's "ReportingPeriod"
// in seconds.
//
// The profile in use is named by the environment variable
// VARNO_OSK_SIMULATION, else by the registry value "SimulationProfile" of the
// engine's key; without either every client succeeds at one step a second.
class SimulationProfile
{
public:
    enum class Outcome {
        Success,
        Warnings,
        Errors,
        Silent,
        Corrupt,
    };

    qint64 StepMs = 1000;
    int ExecuteSteps = 3;
    QStringList WarningPatterns;
    QStringList ErrorPatterns;
    QStringList SilentPatterns;
    QStringList CorruptPatterns;
    qint64 SilentTimeoutMs = -1; // -1: the reporting period
    int EngineError = 0; // 0: none
    qint64 EngineErrorAfter = 0;

    // Reads a profile; false with "line N: reason" (or why the file could not
    // be read) in `problem`. A profile that fails leaves this one unchanged.
    bool Load(const QString &path, QString *problem);
    bool Parse(const QString &text, QString *problem);

    Outcome OutcomeFor(const QString &computerName) const;

    static bool Matches(const QString &pattern, const QString &name);
};
