#pragma once

#include <QString>

#include <optional>

// What a tree node key names: "C" + computer ID, "F" + folder ID, "F-1" the root.
struct NodeInfo
{
    enum Type : int {
        None = 0,
        Computer = 1,
        Folder = 2,
    };

    int Type = None;
    int ID = 0;
    bool Valid = false;
};

namespace modGeneral {

NodeInfo ParseNodeKey(const QString &key);

inline QString ComputerKey(int id)
{
    return QStringLiteral("C") + QString::number(id);
}

inline QString FolderKey(int id)
{
    return QStringLiteral("F") + QString::number(id);
}

inline const QString RootKey = QStringLiteral("F-1");

// Where the results folders of migration jobs live: the registry value
// "LogPath" of the console's key when it names an absolute folder, else
// DefaultLogRoot(). Always ends with "/". Nothing here creates it: it is
// made when something is written into it.
QString GetLogRoot();
// $XDG_DATA_HOME/varno-osk/Log/ (normally ~/.local/share/varno-osk/Log/):
// one folder per user for the console and vo alike, so that one job's logs
// are in one place whichever program ran it, and an installed program never
// writes beside itself.
QString DefaultLogRoot();
QString ProgramFolder();
// The folder of the client service that the engine copies to clients: the
// program's own folder when it holds one (a build, where every program sits
// in bin/), else the installation's (/usr/lib/varno-osk/client from the
// package), where the console's folder holds no client.
QString ClientFolder();

// The results folder of a job: log root + job name + "/". Without a name,
// the current job's.
QString GetLogPath(const QString &jobName);
QString GetLogPath();

// True when the folder exists and holds anything.
bool FolderHoldsFiles(const QString &folder);

// `base`, or `base` + " 2", " 3" and so on: the first whose results folder
// holds nothing (the jobs a retry or a rollback makes of another).
QString NextFreeJobName(const QString &base);

// The job name to start with: the current one while its results folder is
// still empty, else "Migration" + the next number whose folder is empty.
QString GetNextMigJobName(const QString &currentJobName);

// A log that a computer's client services wrote into the results folder:
// computer name + "-" + the client's 14-digit time stamp + ".log".
struct ClientLogName
{
    QString Computer;
    QString Stamp;
};
// The parts of `fileName`, or nothing when it is no client log. The ".log"
// is matched without regard to case, as Windows names are.
std::optional<ClientLogName> ParseClientLogName(const QString &fileName);

} // namespace modGeneral
