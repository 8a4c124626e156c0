#include "logview/modLogView.h"

#include "common/ConsoleConfig.h"
#include "common/modErrorHandler.h"
#include "common/modGeneral.h"
#include "common/modShell.h"

#include <QDir>

namespace modLogView {

namespace {

const QString CR = QStringLiteral("\r");

// Windows, where the engine runs, matches file names without regard to case,
// and the names in the configuration were written for it: "Transferor*.log"
// finds "transferor1.log" there, so it does here. Computer names are equally
// indifferent to case, and a client may write its name in capitals.
constexpr Qt::CaseSensitivity NameCase = Qt::CaseInsensitive;

QStringList FilesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

bool Failed(const QString &message)
{
    modErrorHandler::ShowMessage(modErrorHandler::Error, message);
    return false;
}

} // namespace

LogPattern SplitPattern(const QString &pattern)
{
    QStringList parts = pattern.split(QLatin1Char('*'));
    LogPattern split;
    split.Head = parts.takeFirst();
    if (parts.isEmpty())
        return split;
    split.Tail = parts.takeLast();
    split.Middle = parts;
    split.Wildcard = true;
    return split;
}

bool Matches(const LogPattern &pattern, const QString &fileName)
{
    if (!pattern.Wildcard)
        return fileName.compare(pattern.Head, NameCase) == 0;
    // Head and tail may not share characters: "transferor*r.log" does not
    // find "transferor.log" by reading its "r" twice.
    if (fileName.size() < pattern.Head.size() + pattern.Tail.size() || !fileName.startsWith(pattern.Head, NameCase)
        || !fileName.endsWith(pattern.Tail, NameCase))
        return false;
    const qsizetype end = fileName.size() - pattern.Tail.size();
    qsizetype from = pattern.Head.size();
    for (const QString &middle : pattern.Middle) {
        const qsizetype at = fileName.indexOf(middle, from, NameCase);
        if (at < 0 || at + middle.size() > end)
            return false;
        from = at + middle.size();
    }
    return true;
}

QString HandlerLogPath()
{
    return modGeneral::GetLogPath() + ConsoleConfig().Text(ConsoleConfig::HLogFile);
}

QStringList TransferorLogs(const QString &folder, const QString &pattern)
{
    const LogPattern split = SplitPattern(pattern);
    QStringList logs;
    for (const QString &name : FilesOf(folder)) {
        if (Matches(split, name))
            logs.append(name);
    }
    return logs;
}

QStringList TransferorLogs()
{
    return TransferorLogs(modGeneral::GetLogPath(), ConsoleConfig().Text(ConsoleConfig::TLogFile));
}

QString ClientLogStamp(const QString &computer, const QString &fileName)
{
    // The whole name before the stamp must be the computer's: "PC1" has no
    // log named "PC10-...".
    const auto log = modGeneral::ParseClientLogName(fileName);
    return log && log->Computer.compare(computer, NameCase) == 0 ? log->Stamp : QString();
}

QString NewestClientLog(const QString &folder, const QString &computer)
{
    // The client's stamp decides, never the file's modification time: a log
    // copied into the folder, or touched by a viewer, would otherwise pass
    // for the newest. With the name fixed in length, the last by stamp is
    // the last by name; the name breaks a tie between spellings.
    QString newest;
    QString newestStamp;
    for (const QString &name : FilesOf(folder)) {
        const QString stamp = ClientLogStamp(computer, name);
        if (!stamp.isEmpty() && stamp >= newestStamp) {
            newest = name;
            newestStamp = stamp;
        }
    }
    return newest;
}

bool OpenHandlerLog()
{
    const QString path = HandlerLogPath();
    const QString reason = modShell::OpenAssociated(path);
    if (reason.isEmpty())
        return true;
    return Failed(QStringLiteral("Could not open Handler Log '") + path + QStringLiteral("'.") + CR + CR + reason + CR
        + QStringLiteral("Verify your log settings in the Configuration dialog or change the") + CR
        + QStringLiteral("Migration Job Name to the log to be reviewed."));
}

bool OpenTransferorLog(const QString &fileName)
{
    const QString path = modGeneral::GetLogPath() + fileName;
    const QString reason = modShell::OpenAssociated(path);
    if (reason.isEmpty())
        return true;
    return Failed(QStringLiteral("Could not open Transferor Log '") + path + QStringLiteral("'.") + CR + CR + reason + CR
        + QStringLiteral("Verify your log settings in the Configuration dialog."));
}

bool OpenClientLogsFolder()
{
    const QString folder = modGeneral::GetLogPath();
    // An empty working folder, not none: the folder itself may be what is
    // missing, and the administrator should hear the platform say so.
    const QString reason = modShell::OpenAssociated(folder, QString());
    if (reason.isEmpty())
        return true;
    return Failed(QStringLiteral("Could not open the job log path '") + folder + QStringLiteral("'.") + CR + CR + reason + CR
        + QStringLiteral("Verify your log settings in the Configuration dialog."));
}

bool OpenNewestClientLog(const QString &computer)
{
    const QString folder = modGeneral::GetLogPath();
    const QString name = NewestClientLog(folder, computer);
    if (name.isEmpty()) {
        return Failed(QStringLiteral("Could not find Client Log for ") + computer + QStringLiteral(" in ") + folder + QStringLiteral(".")
            + CR + CR + QStringLiteral("If this path is incorrect, please change the Log Path setting") + CR
            + QStringLiteral("in the Configuration dialog or set the Migration Job Name to") + CR
            + QStringLiteral("the job for which you wish to review the logs."));
    }
    const QString path = folder + name;
    const QString reason = modShell::OpenAssociated(path);
    if (reason.isEmpty())
        return true;
    return Failed(QStringLiteral("Could not open Client Log '") + path + QStringLiteral("'.") + CR + CR + reason);
}

} // namespace modLogView
