#pragma once

#include <QString>
#include <QStringList>

// The commands that open the engine's and the clients' logs of the current
// job with their associated programs: View > Handler Log, the Transferor
// Logs submenu, Client Logs Folder, and the tree's Open Newest Client Log.
// Each finds its file in the results folder (modGeneral::GetLogPath) by the
// names of the console's configuration, opens it through modShell, and shows
// a failure once as an Error.
namespace modLogView {

inline const QString NoTransferorLogsCaption = QStringLiteral("No Transferor Logs Found");

// The "TLogFile" pattern split at its "*". A second "*" stands for any text
// as well; the texts between them must appear in order.
struct LogPattern
{
    QString Head;
    QStringList Middle;
    QString Tail;
    // False for a pattern without "*": it names one file.
    bool Wildcard = false;
};

LogPattern SplitPattern(const QString &pattern);
bool Matches(const LogPattern &pattern, const QString &fileName);

// Results folder + "HLogFile".
QString HandlerLogPath();

// The files of `folder` that match `pattern`, in the order the folder is
// listed (by name); none when the folder does not exist.
QStringList TransferorLogs(const QString &folder, const QString &pattern);
// The current job's, by "TLogFile".
QStringList TransferorLogs();

// The 14-digit time stamp of a log that `computer`'s client services wrote
// (computer + "-" + stamp + ".log"); empty when `fileName` is no such log.
QString ClientLogStamp(const QString &computer, const QString &fileName);
// The name of `computer`'s newest log in `folder`, empty when it has none.
QString NewestClientLog(const QString &folder, const QString &computer);

// The commands; each answers whether the program was started.
bool OpenHandlerLog();
// `fileName` as the submenu shows it.
bool OpenTransferorLog(const QString &fileName);
bool OpenClientLogsFolder();
// `computer` is the selected node's text.
bool OpenNewestClientLog(const QString &computer);

} // namespace modLogView
