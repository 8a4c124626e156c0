#include "protocol/modFindings.h"

#include <array>

namespace modFindings {

namespace {

using enum Severity;

constexpr std::array kFindings {
    Finding {SourceAccountMissing, Error, "The source account does not exist on this computer."},
    Finding {ProfileFolderMissing, Error, "The source account's profile folder does not exist."},
    Finding {ProfileInUse, Error, "The profile is in use: its user has a session on this computer."},
    Finding {DestinationAccountMissing, Error, "The destination account does not exist."},
    // Reported by clients of an earlier version: this one makes no accounts.
    Finding {DestinationLocalToCreate, Information, "The destination is a local account that the migration will create."},
    Finding {DestinationAfterJoin, Information,
        "The destination account belongs to a domain this computer has not joined yet: resolved after the join."},
    Finding {SourceAccountFound, Information, "The source account and its profile folder are present."},
    Finding {DestinationAccountFound, Information, "The destination account exists."},
    Finding {DestinationHomeNotEmpty, Error,
        "The destination's home folder exists and is not empty; without \"overwrite profile\" nothing of the profile changes."},
    Finding {ProfileMigrated, Information, "The profile now belongs to the destination account."},
    Finding {ProfileCopied, Information, "The profile was copied to the destination's home; the source keeps its own."},
    Finding {DestinationHomeMovedAside, Information, "The destination's earlier home folder was moved aside and kept for rollback."},
    Finding {GroupLeft, Warning, "Files keep the source's group: the destination has no private group to give them."},
    Finding {HardLinkFromOutside, Warning, "A file linked from outside the profile was left to its owner."},
    Finding {ProfileNotMigrated, Error, "The profile could not be migrated; nothing of it changed."},
    Finding {SidNotMapped, Error, "The SID could not be mapped to an account of this computer."},
    Finding {OptionDoesNotApply, Information, "An option of the job means something on Windows only and does not apply here."},
    Finding {DiskSpaceShort, Error, "The disk does not have the free space the options ask for."},
    Finding {DiskSpaceEnough, Information, "The disk has the free space the options ask for."},
    Finding {RealmToolsMissing, Error, "The tools that leave and join a domain are not installed."},
    Finding {MembershipNotSource, Error, "The computer's current membership is not the job's source."},
    Finding {MembershipAsExpected, Information, "The computer's current membership is the job's source."},
    Finding {RealmLeft, Information, "The computer left its source domain."},
    Finding {RealmJoined, Information, "The computer joined its destination domain."},
    Finding {RealmChangeFailed, Error, "The computer's domain could not be changed."},
    Finding {WorkgroupSet, Information, "The Samba workgroup was set."},
    Finding {WorkgroupWithoutSamba, Error, "A workgroup was asked for, but Samba is not installed."},
    Finding {RealmNotReversed, Warning, "The computer stays in the destination domain: no join account of the source domain was given."},
    Finding {RebootAllowed, Information, "A reboot is allowed."},
    Finding {RebootNotAllowed, Warning, "A reboot is not allowed: the migration completes at the next restart."},
    Finding {Rebooting, Information, "The computer reboots to complete the migration."},
    Finding {Resumed, Information, "The client service resumed after the reboot."},
    Finding {RebootFailed, Error, "The computer could not be rebooted."},
    Finding {RightsMissing, Error, "The client service does not run with the rights the migration needs."},
    Finding {RightsEnough, Information, "The client service runs with the rights the migration needs."},
    Finding {WorkVerified, Information, "The client checked its own work and found it complete."},
    Finding {WorkNotVerified, Error, "The client's check of its own work found a fault."},
    Finding {StepReversed, Information, "A step of the earlier migration was reversed."},
    // A warning, not a success: a rollback that found nothing to reverse
    // must not read as one that reversed a migration.
    Finding {NothingToRollBack, Warning, "This computer holds no journal of an earlier migration: nothing was reversed."},
    Finding {RollbackFailed, Error, "A step of the earlier migration could not be reversed."},
    Finding {JournalForgotten, Information, "The journal of the earlier migration was removed."},
    Finding {StepResumed, Information, "A step cut short by a kill or a reboot was finished."},
    Finding {RunAlreadyAtWork, Error, "Another instance of this run is at work on the computer; this one changed nothing."},
    Finding {WorkComplete, Information, "The client's work on this computer is complete."},
    Finding {CheckComplete, Information, "The check of this computer is complete."},
    Finding {NameDoesNotResolve, Error, "The computer's name does not resolve."},
    Finding {ConnectionRefused, Error, "The computer refused the connection."},
    Finding {ConnectionTimedOut, Error, "The connection to the computer timed out."},
    Finding {LoginRefused, Error, "The computer refused the login."},
    Finding {HostKeyUnknown, Error, "The computer's host key is not trusted yet."},
    Finding {HostKeyChanged, Error, "The computer's host key has changed."},
    Finding {ServiceDidNotStart, Error, "The client service could not start on the computer."},
    Finding {CopyFailed, Error, "The client service or its files could not be copied to the computer."},
    Finding {SshFailed, Error, "The computer could not be reached."},
    Finding {NoReport, Error, "The client stopped reporting."},
    Finding {CleanUpNotConfirmed, Warning, "The removal of the client's secrets could not be confirmed."},
    Finding {CollectFailed, Warning, "The client's log could not be collected."},
    Finding {WorkCutOff, Error, "The client stopped its work when the engine that started it went; its journal holds what it did, for a rollback."},
};

} // namespace

const Finding *Find(int code)
{
    for (const Finding &finding : kFindings) {
        if (finding.code == code)
            return &finding;
    }
    return nullptr;
}

} // namespace modFindings
