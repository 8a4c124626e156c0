#include "job/RunReport.h"

#include "common/PrivateFolder.h"
#include "common/modGeneral.h"
#include "common/modRehearsal.h"
#include "common/modRollback.h"
#include "database/ComputerDB.h"
#include "engine/ClientStatus.h"
#include "validation/modReportFormat.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>

const QString RunReport::NoStatusText = QStringLiteral("No status received");

namespace {

// Windows names are the same whatever their case.
QString nameKey(const QString &computer)
{
    return computer.toCaseFolded();
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
    // Nor sorted: a sorted listing of 100,000 logs holds a file record per
    // log at once.
    QHash<QString, QString> newestLog;
    QHash<QString, QString> newestStamp;
    QDirIterator files(resultsFolder, {QStringLiteral("*.log")}, QDir::Files);
    while (files.hasNext()) {
        files.next();
        const QString file = files.fileName();
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
        row.GroupPath = modReportFormat::GroupPath(database, computer->FolderID, groups);
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
    QByteArray csv = modReportFormat::CsvHeader({QStringLiteral("Computer"), QStringLiteral("Group Path"),
        QStringLiteral("Last Status Code"), QStringLiteral("Status Text"), QStringLiteral("Client Log File"), QStringLiteral("Engine")});
    // On every row: a row copied into another sheet still says whether it
    // was migrated or only rehearsed.
    const QString engine = Rehearsal ? QString::fromLatin1(modRehearsal::EngineRehearsal)
        : Rollback                   ? QString::fromLatin1(modRehearsal::EngineSsh) + QStringLiteral(" (") + modRollback::Word().toLower() + QLatin1Char(')')
                                     : QString::fromLatin1(modRehearsal::EngineSsh);
    for (const Row &row : Rows)
        csv += modReportFormat::CsvRow({row.Computer, row.GroupPath, row.StatusCode, row.StatusText, row.ClientLog, engine});
    return csv;
}

QByteArray RunReport::Html() const
{
    const int total = static_cast<int>(Rows.size());
    QString page;
    QTextStream out(&page);
    const QString title = (Rollback ? modRollback::Word() : QStringLiteral("Migration")) + QStringLiteral(" report: ") + JobName;
    const QString shown = Rehearsal ? modRehearsal::Label(title) : Rollback ? modRollback::Label(title) : title;
    out << modReportFormat::PageStart(shown);
    out << "<h1>" << modReportFormat::Html(shown) << "</h1>\r\n";
    const QString first = Rehearsal ? modRehearsal::FirstLine() : Rollback ? modRollback::FirstLine(false) : modRehearsal::SshFirstLine();
    out << "<p>" << modReportFormat::Html(first) << "</p>\r\n";
    out << "<p>Written " << modReportFormat::Html(Time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
        << ". Results folder: " << modReportFormat::Html(QDir::toNativeSeparators(ResultsFolder)) << ".</p>\r\n";
    out << "<h2>Outcome of " << total << (total == 1 ? " computer" : " computers") << "</h2>\r\n";
    out << "<table class=\"chart\">\r\n";
    for (int outcome = 0; outcome < OutcomeCount; ++outcome) {
        const auto category = static_cast<Outcome>(outcome);
        out << modReportFormat::BarRow(OutcomeCaption(category), Counts[static_cast<size_t>(outcome)], total, outcomeColour(category));
    }
    out << "</table>\r\n";

    const QList<Row> failed = Unsuccessful();
    out << "<h2>Computers that did not succeed (" << failed.size() << ")</h2>\r\n";
    if (failed.isEmpty()) {
        out << "<p>None.</p>\r\n";
    } else {
        out << "<table>\r\n<tr><th>Computer</th><th>Group</th><th>Status code</th><th>Status</th><th>Client log</th></tr>\r\n";
        for (const Row &row : failed) {
            out << "<tr><td>" << modReportFormat::Html(row.Computer) << "</td><td>" << modReportFormat::Html(row.GroupPath) << "</td><td>"
                << modReportFormat::Html(row.StatusCode) << "</td><td>" << modReportFormat::Html(row.StatusText) << "</td><td>"
                << modReportFormat::Html(row.ClientLog) << "</td></tr>\r\n";
        }
        out << "</table>\r\n";
    }
    out << modReportFormat::PageEnd();
    out.flush();
    return page.toUtf8();
}

bool RunReport::Write(const QString &csvPath, const QString &htmlPath, QString *problem) const
{
    // The folder is the one the user chose; the report's own names in it
    // are not followed when they are links, since the results folder or a
    // share it may stand in can hold anyone's links.
    for (const auto &[path, content] : {std::pair {csvPath, Csv()}, std::pair {htmlPath, Html()}}) {
        const QFileInfo file(path);
        PrivateFolder folder;
        if (!folder.Open(file.path(), PrivateFolder::Access::AsItIs) || !folder.Replace(file.fileName(), content)) {
            if (problem)
                *problem = QStringLiteral("The run report \"%1\" could not be written: %2")
                               .arg(QDir::toNativeSeparators(path), folder.ErrorString());
            return false;
        }
    }
    return true;
}
