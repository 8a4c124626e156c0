#pragma once

#include "common/ConsoleConfig.h"

#include <QTest>

// The boundary rows of every configuration check: the field, a text, and
// the refusal's message, empty when the text passes. Run against the rules
// class and against `vo config set`, so that both take the same values.
inline void addConfigurationRows()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("refusal");
    using C = ConsoleConfig;
    const auto rows = [](C::Value field, const QString &refusal, std::initializer_list<const char *> passing,
                          std::initializer_list<const char *> refused) {
        for (const char *text : passing)
            QTest::addRow("%s %s passes", qPrintable(C::Name(field)), text) << int(field) << QString::fromUtf8(text) << QString();
        for (const char *text : refused)
            QTest::addRow("%s '%s' refused", qPrintable(C::Name(field)), text) << int(field) << QString::fromUtf8(text) << refusal;
    };
    rows(C::LogPath, "You must specify a valid log path.", {"/var/log/varno", "/"}, {"", "logs/varno", "/var//log"});
    rows(C::ListenerIP, "You must enter a valid listener IP address.", {"10.0.0.5"},
        {"- No IPs Found -", "10.0.0", " 10.0.0.5", "1e1.0.0.5"});
    rows(C::ListenerPort, "You must enter a valid listener TCP port between 1025 and 65535.", {"1025", "65535"},
        {"1024", "65536", "80a", "1e3", " 8080", "", "99999999999"});
    rows(C::ConsoleIP, "You must enter a valid Console IP address.", {"- Use Listener IP -", "203.0.113.7"},
        {"console.example", "256.1.1.1"});
    rows(C::DestShare,
        "You must enter the name of a valid share which exists on all client PCs.  Enter only a share name, not the full path name.",
        {"ADMIN$"}, {"ADMIN$\\Varno", "", "C:"});
    rows(C::DestPath,
        "You must enter a valid path name to which files will be copied in the destination share.  Enter only folders/sub-folders, "
        "not the full path name.",
        {"", "Varno\\Client"}, {"\\\\server\\share", "C:\\Varno", "Varno\\\\Client"});
    rows(C::StatusCheckPeriod, "Please enter the status check period in seconds.  This value must be between 1 and 999.", {"1", "999"},
        {"0", "1000"});
    rows(C::ReportingPeriod, "Please enter the reporting period in seconds.  This value must be between 1 and 999.", {"1", "999"},
        {"0", "1000", "-5"});
    rows(C::KeepAliveIncrement, "Please enter the keep alive incremental period in seconds.  This value must be between 1 and 999.",
        {"1", "999"}, {"0", "1000"});
    rows(C::LoggingLevel, "Please enter a valid logging level between 1 (basic) and 9 (verbose debug).", {"1", "9"}, {"0", "10"});
    rows(C::MaxTransferors, "Please enter a valid number of maximum transferors between 1 and 50.", {"1", "50"}, {"0", "51"});
    rows(C::PingsInFlight, "Please enter how many pings of a ping test may be under way at once, between 1 and 256.", {"1", "256"},
        {"0", "257"});
    rows(C::RetryInterval,
        "Please enter how long to wait before a client that could not be reached is tried again, from 10 s to 24 h (for example "
        "\"5 min\").",
        {"10", "10 s", "5 min", "1h30m", "24 h"}, {"9 s", "24 h 1 s", "5 min 1 h", "soon", "", "1 week"});
    rows(C::PendingTimeout,
        "Please enter how long a client that could not be reached is tried again before it ends with errors, from 1 min to 14 d "
        "(for example \"12 h\"), or \"off\" to end it at its first try.",
        {"off", "0", "1 min", "14 d", "2 days 4 hours"}, {"59 s", "14 d 1 s", "-1"});
}
