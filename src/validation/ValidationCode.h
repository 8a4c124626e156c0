#pragma once

// The codes of the check before a run. The range of a code tells the main
// window where to send the administrator: 1 to 99 accounts, 100 to 199 source
// and destination domains, 200 to 299 the user migration list, 300 to 399
// domain join, options and texts the clients cannot read, 900 to 905 values
// the user interface never produces.
namespace ValidationCode {

enum : int {
    Passed = 0,

    AdminADomain = 1,
    AdminAPassword = 2,
    AdminAUsername = 3,
    DestLookupDomain = 4,
    DestLookupDomainWithoutUser = 5,
    DestLookupPassword = 6,
    DestLookupPasswordWithoutUser = 7,
    DestLookupUsername = 8, // a warning
    AdminBDomain = 9,
    AdminBPassword = 10,
    AdminBUsername = 11,
    SourceLookupDomain = 12,
    SourceLookupDomainWithoutUser = 13,
    SourceLookupPassword = 14,
    SourceLookupPasswordWithoutUser = 15,
    SourceLookupUsername = 16, // a warning
    SourceLookupNotNeeded = 17,
    JoinAccountDomain = 18,
    JoinAccountDomainWithoutUser = 19,
    JoinAccountPassword = 20,
    JoinAccountPasswordWithoutUser = 21,
    JoinAccountUsername = 22,
    JoinAccountWithoutJoin = 23,

    DestDCIP = 100,
    DestDCIPWithoutDomain = 101,
    DestDCName = 102,
    DestDCNameWithoutDomain = 103,
    DestDomain = 104,
    DestDomainRequired = 105,
    DestDomainWithoutProfiles = 106, // a warning
    SourceDCIP = 107,
    SourceDCIPWithoutDomain = 108,
    SourceDCName = 109,
    SourceDCNameWithoutDomain = 111,
    SourceDomain = 112,
    SourceDomainRequired = 113,
    SourceDomainWithoutProfiles = 114, // a warning

    DestinationUser = 200,
    SourceSID = 201,
    UsersAndSIDsMixed = 202,
    SIDWithUserToUser = 203,
    SourceUser = 204,
    UserWithSIDToUser = 205,

    MinFreeSpace = 300,
    JoinDCIP = 301,
    JoinDCIPWithoutJoin = 302,
    JoinDCName = 303,
    JoinDCNameWithoutJoin = 305,
    JoinName = 306,
    // The listener is a loopback address and the computer is another one:
    // its client could never report back.
    ListenerLoopback = 307, // a warning
    NothingToDo = 308,
    // Not a name a Windows computer can carry (modFormat::IsValidComputerName).
    // Renaming and New Computer refuse such names; a settings file edited
    // by hand can still bring one.
    ComputerName = 309,

    // Texts that cannot reach a client intact: the configuration file
    // carries character codes 0 to 199 of the ANSI code page and nothing
    // else, and a line end inside a value would split its line. One code
    // per field, so that the main window can show the field.
    TextComputerName = 310,
    TextAdminADomain = 311,
    TextAdminAUsername = 312,
    TextAdminAPassword = 313,
    TextDestLookupDomain = 314,
    TextDestLookupUsername = 315,
    TextDestLookupPassword = 316,
    TextAdminBDomain = 317,
    TextAdminBUsername = 318,
    TextAdminBPassword = 319,
    TextJoinAccountDomain = 320,
    TextJoinAccountUsername = 321,
    TextJoinAccountPassword = 322,
    TextSourceLookupDomain = 323,
    TextSourceLookupUsername = 324,
    TextSourceLookupPassword = 325,
    TextSourceDomain = 330,
    TextSourceDCName = 331,
    TextSourceDCIP = 332,
    TextDestDomain = 333,
    TextDestDCName = 334,
    TextDestDCIP = 335,
    TextJoinName = 336,
    TextJoinDCName = 337,
    TextJoinDCIP = 338,
    TextSourceUser = 340,
    TextSourceSID = 341,
    TextDestinationUser = 342,
    TextFirst = TextComputerName,
    TextLast = TextDestinationUser,

    InternalProfileActions = 900,
    InternalForceReboot = 901,
    InternalListType = 902,
    InternalJoinType = 903,
    InternalRebootPermitted = 904,
    InternalJoinNameWithoutJoin = 905,
};

// The codes that the administrator may ignore and go on.
constexpr bool IsWarning(int code)
{
    return code == DestLookupUsername || code == SourceLookupUsername || code == DestDomainWithoutProfiles
        || code == SourceDomainWithoutProfiles || code == ListenerLoopback;
}

} // namespace ValidationCode
