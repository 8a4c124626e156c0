#pragma once

#include <QString>

// The console's configuration: the values of its registry key that the
// configuration dialog shows and a run reads, each with its name and its
// default in one table. Nothing is cached: every read goes to the registry,
// so a value changed by the dialog or by `vo reg` counts from the next read.
class ConsoleConfig
{
public:
    enum Value : int {
        LogPath,
        ListenerIP,
        ListenerPort,
        ConsoleIP,
        DestShare,
        DestPath,
        StatusCheckPeriod,
        ReportingPeriod,
        KeepAliveIncrement,
        LoggingLevel,
        MaxTransferors,
        // How many pings of a ping test are under way at once.
        PingsInFlight,
        // Seconds between two tries of a client that cannot be reached, and
        // how long after the first it is given up (0: at once).
        RetryInterval,
        PendingTimeout,
        WelcomeScreen,
        // Read by a run only; the dialog does not show them.
        CLogFile,
        CStatusFile,
        HLogFile,
        TLogFile,
        SourcePath,
        // Which engine a run drives: "rehearsal" or "ssh"; none until chosen.
        Engine,
        // An ssh_config file for the ssh engine; empty: the user's own.
        SshConfig,
        // The results folder and the settings file of the last run on the
        // ssh engine until it completes: a console that went away before it
        // did offers to attach to it again at its next start.
        LastRun,
        LastRunSettings,
    };

    static constexpr int DefaultListenerPort = 7919;
    static constexpr int DefaultMaxTransferors = 5;
    // The engine runs at most this many transferors at once; the dialog's
    // upper bound.
    static constexpr int MaxTransferorsLimit = 50;
    // One at a time unless the administrator asks for more.
    static constexpr int DefaultPingsInFlight = 1;
    static constexpr int PingsInFlightLimit = 256;
    // Laptops are off overnight and over a long weekend.
    static constexpr int RetryIntervalMin = 10;
    static constexpr int RetryIntervalMax = 24 * 3600;
    static constexpr int PendingTimeoutMin = 60;
    static constexpr int PendingTimeoutMax = 14 * 24 * 3600;

    // The registry value's name ("LogPath").
    static QString Name(Value value);
    // What the value is when it is not stored. The listener and console
    // addresses have none here: the address lookup decides them.
    static QString Default(Value value);
    // A numeric value reads as its default unless it is digits only.
    static bool IsNumeric(Value value);

    // The console's key, AppState's AppKeyPath, unless another is given.
    explicit ConsoleConfig(const QString &keyPath = QString());

    // The stored text, or the default when the value is absent or, for a
    // numeric value, not digits only.
    QString Text(Value value) const;
    // Text as a number; the default's number when it does not fit.
    int Number(Value value) const;
    // Text, and false when the key cannot be opened or the value cannot be
    // read (anything but its absence); `text` is the default then.
    bool Read(Value value, QString &text) const;
    bool Read(Value value, int &number) const;
    // The stored text as it stands, even for a numeric value (the default
    // when absent), and the registry's result code of opening the key: the
    // start commands refuse a port that is not a number with their own
    // message, and name the code of a key that cannot be opened.
    long ReadAsStored(Value value, QString &text) const;

    // Stores `text` as it is, as text; the caller has checked it. False when
    // it could not be written.
    bool Write(Value value, const QString &text) const;

private:
    QString m_keyPath;
};
