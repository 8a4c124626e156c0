#include "engine/RunReport.h"

#include "common/modGeneral.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"

#include <QDir>
#include <QHash>
#include <QSaveFile>
#include <QTextStream>

const QString RunReport::NoStatusText = QStringLiteral("No status received");

namespace {

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

// Windows names are the same whatever their case.
QString nameKey(const QString &computer)
{
    return computer.toCaseFolded();
}

QByteArray csvField(const QString &text)
{
    QByteArray field = text.toUtf8();
    // A spreadsheet takes a cell that starts with one of these for a
    // formula; a group called "@SUM(A1:A9)" or "-1+1" must arrive as the
    // text it is. The apostrophe is the spreadsheets' own mark for that.
    if (!field.isEmpty() && QByteArrayView("=+-@\t\r").contains(field.front()))
        field.prepend('\'');
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
    case RunReport::Outcome::Successful:
        return "#2e7d32";
    case RunReport::Outcome::Warnings:
        return "#f9a825";
    case RunReport::Outcome::Errors:
        return "#c62828";
    case RunReport::Outcome::Canceled:
        return "#6d4c41";
    case RunReport::Outcome::Aborted:
        return "#4a148c";
    case RunReport::Outcome::InProgress:
        return "#1565c0";
    default:
        return "#9e9e9e";
    }
}

} // namespace

QString RunReport::OutcomeCaption(Outcome outcome)
{
    switch (outcome) {
    case Outcome::NotStarted:
        return QStringLiteral("Not started or never answered");
    case Outcome::InProgress:
        return QStringLiteral("Still in progress");
    case Outcome::Successful:
        return QStringLiteral("Successful");
    case Outcome::Warnings:
        return QStringLiteral("With warnings");
    case Outcome::Errors:
        return QStringLiteral("With errors");
    case Outcome::Canceled:
        return QStringLiteral("Canceled");
    case Outcome::Aborted:
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
    QHash<QString, QString> newestStamp;
    for (const QString &file : files) {
        const auto log = modGeneral::ParseClientLogName(file);
        if (!log)
            continue;
        // Compared by stamp alone, as the name part may differ in case.
        const QString key = nameKey(log->Computer);
        QString &stamp = newestStamp[key];
        if (stamp.isEmpty() || log->Stamp > stamp) {
            stamp = log->Stamp;
            newestLog[key] = file;
        }
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
        row.Result = ClientStatus::CategoryOf(row.StatusCode);
        ++report.Counts[static_cast<size_t>(row.Result)];
        report.Rows.append(row);
    }
    return report;
}

QList<RunReport::Row> RunReport::Unsuccessful() const
{
    QList<Row> rows;
    for (const Row &row : Rows) {
        if (row.Result != Outcome::Successful)
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
