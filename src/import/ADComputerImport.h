#pragma once

#include "import/DirectoryClient.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class ComputerDB;
class ProgressBarLink;
class QObject;
struct ComputerRecord;

// The import of computers from a directory: the read (every row first, so
// that a failure or a confirmed cancel leaves the database untouched) and
// the add, where each computer's OU path becomes its groups.
class ADComputerImport
{
public:
    enum Result : int {
        Success = 0,
        BadCredentials = 1,
        ServerNotReachable = 2,
        OtherFailure = 3,
        // With all users: an added computer's list would not take the entry.
        AllUsersRefused = 4,
        // With all users: an added computer had no user list.
        NoUserList = 5,
    };

    // Rows per page of the read; the connection test reads one small page.
    static constexpr int PageSize = 1000;
    static constexpr int TestPageSize = 10;
    // From this many new computers on, the linked tree is dropped during the
    // add and built once at the end: placing each node among thousands of
    // sorted siblings costs far more than one build.
    static constexpr int RebuildThreshold = 500;

    using ClientFactory = std::function<std::unique_ptr<DirectoryClient>()>;

    explicit ADComputerImport(ClientFactory factory = &DirectoryClient::Create);

    // Reads every computer. A test connects and reads one small page, and
    // hands back no records. Failures are shown here; `records` stays empty
    // unless the result is Success.
    int ImportADSComputers(
        const DirectoryClient::Server &server, bool test, ProgressBarLink *progress, std::vector<ComputerRecord> &records);

    // Reads, then adds the computers that the database does not know by
    // name, in the groups of their OU path. A computer the database knows
    // by name takes the directory's identity; one it knows only by that
    // identity was renamed in the directory and is renamed here, keeping its
    // group, settings and users.
    int AddADComputers(const DirectoryClient::Server &server, ComputerDB &database, ProgressBarLink *progress, bool test, bool allUsers);

    // What the last AddADComputers did.
    struct Counts
    {
        int Computers = 0; // added
        int Groups = 0; // added
        int AlreadyThere = 0; // computers of the directory the database had by name
        int Renamed = 0; // found by directory identity under an old name
    };
    const Counts &LastCounts() const { return m_counts; }
    int AddedCount() const { return m_counts.Computers; }
    // "Added 12 computers and 3 groups; 5 computers were already there."
    // Renames follow: " Renamed 1 computer as the directory names it now:
    // PC-OLD is now PC-NEW."
    QString CountsText() const;

    // Says what the last import did. With all users, the computers that were
    // already there and have no user migration are offered the all-users
    // entry too (the box only ever spoke for the added ones); the number that
    // took it.
    int ReportAndOffer(ComputerDB &database, bool allUsers, QObject *owner);

private:
    static constexpr qsizetype kRenamesShown = 10;

    int addRecords(const std::vector<ComputerRecord> &records, ComputerDB &database, ProgressBarLink *progress, bool allUsers);

    // Renames a computer the database knows by the directory's identity to
    // the directory's name; false when another computer has that name.
    bool renamed(ComputerDB &database, int id, const QString &name);

    ClientFactory m_factory;
    Counts m_counts;
    // The computers already there whose list is empty, by ID.
    std::vector<int> m_withoutUsers;
    // "old is now new" for the first renames, for the report.
    QStringList m_renames;
};
