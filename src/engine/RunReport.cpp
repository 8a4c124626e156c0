#include "engine/RunReport.h"

#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"

#include <QDir>
#include <QHash>
#include <QSaveFile>
#include <QTextStream>

const QString RunReport::NoStatusText = QStringLiteral("No status received");

namespace {

constexpr int kStampLength = 14;
const QLatin1StringView kLogSuffix(".log");

QString groupPath(const ComputerDB &database, int folderId, QHash<int, QString> &known)
{
    if (folderId < 0)
        return QString();
    const auto found = known.constFind(folderId);
    if (found != known.constEnd())
        return *found;
    const FolderRecord *folder = database.Folders(folderId);
    QString path;
    if (folder) {
        const QString parent = groupPath(database, folder->ParentID, known);
        path = parent.isEmpty() ? folder->Name : parent + QLatin1Char('\\') + folder->Name;
    }
    known.insert(folderId, path);
    return path;
}

// The computer name a client log belongs to, or empty when the name is not
// "computer-" + 14-digit stamp + ".log".
QString clientLogOwner(const QString &fileName)
{
    const qsizetype tail = 1 + kStampLength + kLogSuffix.size();
    if (fileName.size() <= tail || !fileName.endsWith(kLogSuffix, Qt::CaseInsensitive))
        return QString();
    const qsizetype dash = fileName.size() - tail;
    if (fileName.at(dash) != QLatin1Char('-'))
        return QString();
    for (qsizetype i = dash + 1; i < dash + 1 + kStampLength; ++i) {
        if (fileName.at(i) < QLatin1Char('0') || fileName.at(i) > QLatin1Char('9'))
            return QString();
    }
    return fileName.left(dash);
}

// Windows names are the same whatever their case.
QString nameKey(const QString &computer)
{
    return computer.toCaseFolded();
}

QByteArray csvField(const QString &text)
{
    QByteArray field = text.toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n')) {
        field.replace('"', "\"\"");
        field = '"' + field + '"';
    }
    return field;
}

QString html(const QString &text)
{
    return text.toHtmlEscaped();
}

const char *outcomeColour(RunReport::Outcome outcome)
{
    switch (outcome) {
    case RunReport::Successful:
        return "#2e7d32";
    case RunReport::Warnings:
        return "#f9a825";
    case RunReport::Errors:
        return "#c62828";
    case RunReport::Canceled:
        return "#6d4c41";
    case RunReport::Aborted:
        return "#4a148c";
    case RunReport::InProgress:
        return "#1565c0";
    default:
        return "#9e9e9e";
    }
}

} // namespace

RunReport::Outcome RunReport::OutcomeOf(const QString &code)
{
    if (code.isEmpty() || code == QLatin1String("NP"))
        return NotStarted;
    if (code == QLatin1String("XS"))
        return Successful;
    if (code == QLatin1String("XW"))
        return Warnings;
    if (code == QLatin1String("XE"))
        return Errors;
    if (code == QLatin1String("XC"))
        return Canceled;
    if (code == QLatin1String("XA"))
        return Aborted;
    return InProgress;
}

QString RunReport::OutcomeCaption(Outcome outcome)
{
    switch (outcome) {
    case NotStarted:
        return QStringLiteral("Not started or never answered");
    case InProgress:
        return QStringLiteral("Still in progress");
    case Successful:
        return QStringLiteral("Successful");
    case Warnings:
        return QStringLiteral("With warnings");
    case Errors:
        return QStringLiteral("With errors");
    case Canceled:
        return QStringLiteral("Canceled");
    case Aborted:
        return QStringLiteral("Aborted");
    default:
        return QString();
    }
}

RunReport RunReport::Build(
    const ComputerDB &database, const QList<qint32> &computerIds, const QMap<int, QString> &statuses, const QString &resultsFolder)
{
    RunReport report;
    report.ResultsFolder = resultsFolder;

    // One pass over the folder, so that a run of many thousand clients does
    // not list it once per computer. The stamp has a fixed width, so the
    // greatest stamp is the newest log, whatever the files' times say.
    QHash<QString, QString> newestLog;
    const QStringList files = QDir(resultsFolder).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString owner = clientLogOwner(file);
        if (owner.isEmpty())
            continue;
        // Compared by stamp alone, as the name part may differ in case.
        QString &newest = newestLog[nameKey(owner)];
        if (newest.isEmpty() || file.right(kStampLength + kLogSuffix.size()) > newest.right(kStampLength + kLogSuffix.size()))
            newest = file;
    }

    QHash<int, QString> groups;
    report.Rows.reserve(computerIds.size());
    for (const qint32 id : computerIds) {
        const ComputerRecord *computer = database.Computers(id);
        if (!computer)
            continue;
        Row row;
        row.Computer = computer->Name;
        row.GroupPath = groupPath(database, computer->FolderID, groups);
        row.StatusCode = statuses.value(id);
        row.StatusText = row.StatusCode.isEmpty() ? NoStatusText : ClientStatus::Text(row.StatusCode);
        row.ClientLog = newestLog.value(nameKey(row.Computer));
        row.Result = OutcomeOf(row.StatusCode);
        ++report.Counts[row.Result];
        report.Rows.append(row);
    }
    return report;
}

QList<RunReport::Row> RunReport::Unsuccessful() const
{
    QList<Row> rows;
    for (const Row &row : Rows) {
        if (row.Result != Successful)
            rows.append(row);
    }
    return rows;
}

QByteArray RunReport::Csv() const
{
    // The byte order mark lets spreadsheet programs on Windows, where the
    // report usually ends up, read the names as UTF-8.
    QByteArray csv("\xEF\xBB\xBF"
                   "Computer,Group Path,Last Status Code,Status Text,Client Log File\r\n");
    for (const Row &row : Rows) {
        csv += csvField(row.Computer) + ',' + csvField(row.GroupPath) + ',' + csvField(row.StatusCode) + ',' + csvField(row.StatusText)
            + ',' + csvField(row.ClientLog) + "\r\n";
    }
    return csv;
}

QByteArray RunReport::Html() const
{
    const int total = static_cast<int>(Rows.size());
    QString page;
    QTextStream out(&page);
    out << "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
        << "<title>Migration report: " << html(JobName) << "</title>\r\n"
        << "<style>\r\n"
           "body{font-family:sans-serif;margin:2em;color:#212121}\r\n"
           "table{border-collapse:collapse}\r\n"
           "th,td{text-align:left;padding:.2em .8em;border-bottom:1px solid #ddd}\r\n"
           "td.n{text-align:right}\r\n"
           ".bar{height:1em}\r\n"
           ".chart td{border:none}\r\n"
           "</style>\r\n</head>\r\n<body>\r\n";
    out << "<h1>Migration report: " << html(JobName) << "</h1>\r\n";
    out << "<p>Written " << html(Time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        << ". Results folder: " << html(QDir::toNativeSeparators(ResultsFolder)) << ".</p>\r\n";
    out << "<h2>Outcome of " << total << (total == 1 ? " computer" : " computers") << "</h2>\r\n";
    out << "<table class=\"chart\">\r\n";
    for (int outcome = 0; outcome < OutcomeCount; ++outcome) {
        const int count = Counts[static_cast<size_t>(outcome)];
        const double width = total > 0 ? 100.0 * count / total : 0.0;
        out << "<tr><td>" << html(OutcomeCaption(static_cast<Outcome>(outcome))) << "</td><td class=\"n\">" << count
            << "</td><td style=\"width:30em\"><div class=\"bar\" style=\"width:" << QString::number(width, 'f', 1)
            << "%;background:" << outcomeColour(static_cast<Outcome>(outcome)) << "\"></div></td></tr>\r\n";
    }
    out << "</table>\r\n";

    const QList<Row> failed = Unsuccessful();
    out << "<h2>Computers that did not succeed (" << failed.size() << ")</h2>\r\n";
    if (failed.isEmpty()) {
        out << "<p>None.</p>\r\n";
    } else {
        out << "<table>\r\n<tr><th>Computer</th><th>Group</th><th>Status code</th><th>Status</th><th>Client log</th></tr>\r\n";
        for (const Row &row : failed) {
            out << "<tr><td>" << html(row.Computer) << "</td><td>" << html(row.GroupPath) << "</td><td>" << html(row.StatusCode)
                << "</td><td>" << html(row.StatusText) << "</td><td>" << html(row.ClientLog) << "</td></tr>\r\n";
        }
        out << "</table>\r\n";
    }
    out << "</body>\r\n</html>\r\n";
    out.flush();
    return page.toUtf8();
}

bool RunReport::Write(const QString &csvPath, const QString &htmlPath, QString *problem) const
{
    const QList<std::pair<QString, QByteArray>> files {{csvPath, Csv()}, {htmlPath, Html()}};
    for (const auto &[path, content] : files) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
            if (problem)
                *problem = QStringLiteral("The run report \"%1\" could not be written: %2")
                               .arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
    }
    return true;
}
