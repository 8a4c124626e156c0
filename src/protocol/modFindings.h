#pragma once

#include <string_view>

// The findings of a check, one table for the client service, the engine and
// the console. 1000-1999 the client finds on its own computer; 2000-2999 the
// engine finds while it reaches a client. A finding travels as its code and
// a text that names the particulars (the account, the folder, ssh's reason);
// the table gives its severity and its general wording.
namespace modFindings {

enum class Severity { Information, Warning, Error };

struct Finding
{
    int code;
    Severity severity;
    std::string_view text;
};

// Client findings: the user migrations.
inline constexpr int SourceAccountMissing = 1001;
inline constexpr int ProfileFolderMissing = 1002;
inline constexpr int ProfileInUse = 1003;
inline constexpr int DestinationAccountMissing = 1004;
inline constexpr int DestinationLocalToCreate = 1005;
inline constexpr int DestinationAfterJoin = 1006;
inline constexpr int SourceAccountFound = 1007;
inline constexpr int DestinationAccountFound = 1008;
inline constexpr int DestinationHomeNotEmpty = 1009;
inline constexpr int ProfileMigrated = 1010;
inline constexpr int ProfileCopied = 1011;
inline constexpr int DestinationHomeMovedAside = 1012;
inline constexpr int GroupLeft = 1013;
inline constexpr int HardLinkFromOutside = 1014;
inline constexpr int ProfileNotMigrated = 1015;
inline constexpr int SidNotMapped = 1016;
inline constexpr int OptionDoesNotApply = 1017;
// Client findings: the computer.
inline constexpr int DiskSpaceShort = 1101;
inline constexpr int DiskSpaceEnough = 1102;
inline constexpr int RealmToolsMissing = 1201;
inline constexpr int MembershipNotSource = 1202;
inline constexpr int MembershipAsExpected = 1203;
inline constexpr int RealmLeft = 1204;
inline constexpr int RealmJoined = 1205;
inline constexpr int RealmChangeFailed = 1206;
inline constexpr int WorkgroupSet = 1207;
inline constexpr int WorkgroupWithoutSamba = 1208;
inline constexpr int RealmNotReversed = 1209;
inline constexpr int RebootAllowed = 1301;
inline constexpr int RebootNotAllowed = 1302;
inline constexpr int Rebooting = 1303;
inline constexpr int Resumed = 1304;
inline constexpr int RebootFailed = 1305;
inline constexpr int RightsMissing = 1401;
inline constexpr int RightsEnough = 1402;
// Client findings: the work itself, checked afterwards, and its rollback.
inline constexpr int WorkVerified = 1501;
inline constexpr int WorkNotVerified = 1502;
inline constexpr int StepReversed = 1601;
inline constexpr int NothingToRollBack = 1602;
inline constexpr int RollbackFailed = 1603;
inline constexpr int JournalForgotten = 1604;
inline constexpr int StepResumed = 1605;
inline constexpr int RunAlreadyAtWork = 1606;
inline constexpr int WorkComplete = 1998;
inline constexpr int CheckComplete = 1999;
// Engine findings: reaching the client.
inline constexpr int NameDoesNotResolve = 2001;
inline constexpr int ConnectionRefused = 2002;
inline constexpr int ConnectionTimedOut = 2003;
inline constexpr int LoginRefused = 2004;
inline constexpr int HostKeyUnknown = 2005;
inline constexpr int HostKeyChanged = 2006;
inline constexpr int ServiceDidNotStart = 2007;
inline constexpr int CopyFailed = 2008;
inline constexpr int SshFailed = 2009;
inline constexpr int NoReport = 2010;
inline constexpr int CleanUpNotConfirmed = 2011;
inline constexpr int CollectFailed = 2012;
inline constexpr int WorkCutOff = 2013;

// The finding of `code`; nullptr for a code outside the table.
const Finding *Find(int code);

// Whether a client may report `code` (the client's own range).
inline bool IsClientCode(int code)
{
    return code >= 1000 && code <= 1999 && Find(code) != nullptr;
}

} // namespace modFindings
