#pragma once

// The columns of the engine's client and settings arrays, numbered from 1
// as the arrays are. The export writes them, the engine interface reads
// them into each client's configuration file, the engine reads the client
// array, and `vo export` shows both.
namespace ClientColumn {

enum : int {
    ComputerName = 1,
    // 'Local Admin A', the account of the Varno service.
    AdminADomain = 2,
    AdminAUsername = 3,
    AdminAPassword = 4,
    // 'Local Admin B', the account of the Osk service.
    AdminBDomain = 5,
    AdminBUsername = 6,
    AdminBPassword = 7,
    FilesToCopy = 8,
    Services = 9,
    GeneratedFiles = 10,
    // The name of the wave the computer runs in; empty for none.
    Wave = 11,
    // 1 for a computer an earlier engine of the run was at work on when it
    // went: the engine asks the client how it stands before delivering.
    AskFirst = 12,
    Count = 12,
};

} // namespace ClientColumn

namespace SettingsColumn {

enum : int {
    SourceUsers = 1,
    SourceDomain = 2,
    SourceDCName = 3,
    SourceDCIP = 4,
    SourceSIDs = 5,
    // Domain + "\" + user name.
    SourceLookupAccount = 6,
    SourceLookupPassword = 7,
    DestinationUsers = 8,
    DestinationDomain = 9,
    DestinationLookupAccount = 10,
    DestinationLookupPassword = 11,
    DestinationDCName = 12,
    DestinationDCIP = 13,
    // The join name goes into one of these two, by the kind of join.
    Workgroup = 14,
    JoinDomain = 15,
    JoinDCName = 16,
    JoinDCIP = 17,
    JoinAccount = 18,
    JoinPassword = 19,
    RebootPermitted = 20,
    ForceReboot = 21,
    ProfileActions = 22,
    MinFreeSpace = 23,
    OverwriteProfile = 24,
    Count = 24,
};

} // namespace SettingsColumn
