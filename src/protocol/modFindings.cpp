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
    Finding {DestinationLocalToCreate, Information, "The destination is a local account that the migration will create."},
    Finding {DestinationAfterJoin, Information,
        "The destination account belongs to a domain this computer has not joined yet: resolved after the join."},
    Finding {SourceAccountFound, Information, "The source account and its profile folder are present."},
    Finding {DestinationAccountFound, Information, "The destination account exists."},
    Finding {DiskSpaceShort, Error, "The disk does not have the free space the options ask for."},
    Finding {DiskSpaceEnough, Information, "The disk has the free space the options ask for."},
    Finding {RealmToolsMissing, Error, "The tools that leave and join a domain are not installed."},
    Finding {MembershipNotSource, Error, "The computer's current membership is not the job's source."},
    Finding {MembershipAsExpected, Information, "The computer's current membership is the job's source."},
    Finding {RebootAllowed, Information, "A reboot is allowed."},
    Finding {RebootNotAllowed, Warning, "A reboot is not allowed: the migration completes at the next restart."},
    Finding {RightsMissing, Error, "The client service does not run with the rights the migration needs."},
    Finding {RightsEnough, Information, "The client service runs with the rights the migration needs."},
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
