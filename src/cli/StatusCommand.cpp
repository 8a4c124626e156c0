#include "cli/StatusCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "common/RunHistory.h"
#include "database/ComputerDB.h"
#include "validation/modReportFormat.h"

#include <QDir>
#include <QTextStream>

namespace {
const QString kComputer = QStringLiteral("--computer");
const QString kCsv = QStringLiteral("--csv");
const QString kWave = QStringLiteral("--wave");
const QString kPrune = QStringLiteral("--prune-before");

QString shown(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
} // namespace

StatusCommand::StatusCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString StatusCommand::usage()
{
    return QStringLiteral("Usage: vo status FILE [--computer NAME | --wave NAME] [--csv] [--passphrase-file F]\n"
                          "       vo status --prune-before YYYY-MM-DD\n"
                          "\n"
                          "Where every computer of FILE stands across runs: the newest outcome the run\n"
                          "history holds for it (its status, the run, whether that run migrated or rolled\n"
                          "back, and when), or \"never run\"; its wave, how many migrations it has had,\n"
                          "and when its client last reported. The history is kept per user beside the\n"
                          "registry store (history.db), whatever becomes of the settings file; rehearsals\n"
                          "are not in it. Computers are matched by their directory identity, else by\n"
                          "name, so a computer renamed in the directory keeps its history.\n"
                          "\n"
                          "  --computer NAME        every outcome of that computer, newest first\n"
                          "  --wave NAME            only the computers of that wave of FILE\n"
                          "  --csv                  the same as CSV, with a header line\n"
                          "  --prune-before DATE    remove the outcomes older than DATE (local time)\n"
                          "\n"
                          "Exit status: 0 shown, 1 a usage error or a file or history that cannot be read.\n");
}

int StatusCommand::prune(const QString &date)
{
    const QDate day = QDate::fromString(date, Qt::ISODate);
    if (!day.isValid())
        return modCommandLine::Fail(m_err, QStringLiteral("\"%1\" is not a date: give it as YYYY-MM-DD.").arg(date));
    int removed = 0;
    QString problem;
    RunHistory history;
    if (!history.prune(day.startOfDay(), removed, problem))
        return modCommandLine::Fail(m_err, problem);
    m_out << "Removed " << removed << (removed == 1 ? " outcome" : " outcomes") << " older than " << day.toString(Qt::ISODate) << " from "
          << QDir::toNativeSeparators(history.path()) << ".\n";
    m_out.flush();
    return 0;
}

int StatusCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    if (!arguments.isEmpty() && arguments.first().startsWith(kPrune)) {
        const qsizetype equals = arguments.first().indexOf(QLatin1Char('='));
        if (equals < 0 && arguments.size() == 2)
            return prune(arguments.at(1));
        if (equals >= 0 && arguments.size() == 1)
            return prune(arguments.first().mid(equals + 1));
        m_err << "ERROR: Invalid syntax. --prune-before takes one date and nothing else.\n\n" << usage();
        m_err.flush();
        return 1;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {kCsv}, {kComputer, kWave}, problem)) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return 1;
    }
    if (file.has(kComputer) && file.has(kWave)) {
        m_err << "ERROR: Invalid syntax. --computer and --wave do not go together.\n\n" << usage();
        m_err.flush();
        return 1;
    }
    ComputerDB database;
    if (!file.load(database, problem))
        return modCommandLine::Fail(m_err, problem);
    QString wave;
    if (file.has(kWave)) {
        wave = database.Waves().canonicalName(file.value(kWave));
        if (wave.isEmpty())
            return modCommandLine::Fail(m_err,
                QStringLiteral("The job has no wave named \"%1\"%2.")
                    .arg(file.value(kWave).left(WaveList::MaxNameLength),
                        database.Waves().isEmpty() ? QStringLiteral("; it has no waves at all") : QString()));
    }
    RunHistory history;
    const bool csv = file.has(kCsv);
    const auto row
        = [&](const QString &computer, const QString &inWave, const RunHistory::Outcome *outcome, const RunHistory::Summary *summary) {
              const QString tries = summary ? QString::number(summary->tries) : QString();
              const QString seen = summary && summary->lastSeen.isValid() ? shown(summary->lastSeen) : QString();
              if (csv) {
                  QStringList fields {computer, inWave, outcome ? outcome->Status : QString(),
                      outcome ? outcome->Reason : QStringLiteral("never run"), outcome ? outcome->Run : QString(),
                      outcome ? outcome->Kind : QString(), outcome ? shown(outcome->Time) : QString()};
                  if (!file.has(kComputer))
                      fields << tries << seen;
                  m_out << modReportFormat::CsvRow(fields);
                  return;
              }
              m_out << computer;
              if (!inWave.isEmpty())
                  m_out << " [" << inWave << ']';
              m_out << ": ";
              if (!outcome) {
                  m_out << "never run\n";
                  return;
              }
              m_out << outcome->Status << ' ' << outcome->Reason << " (" << outcome->Kind << " \"" << outcome->Run << "\", "
                    << shown(outcome->Time) << ')';
              if (summary)
                  m_out << ", " << summary->tries << (summary->tries == 1 ? " migration" : " migrations");
              if (!seen.isEmpty())
                  m_out << ", client last seen " << seen;
              m_out << '\n';
          };
    QStringList header {QStringLiteral("Computer"), QStringLiteral("Wave"), QStringLiteral("Status Code"), QStringLiteral("Status Text"),
        QStringLiteral("Run"), QStringLiteral("Kind"), QStringLiteral("Time")};
    if (!file.has(kComputer))
        header << QStringLiteral("Migrations") << QStringLiteral("Client Last Seen");
    if (csv)
        m_out << modReportFormat::CsvHeader(header);
    if (file.has(kComputer)) {
        // The directory identity from the file finds the outcomes of the
        // computer under the names it had before.
        const int id = database.FindComputer(file.value(kComputer));
        const QString directoryID = id >= 0 ? database.Computers(id)->DirectoryID : QString();
        QList<RunHistory::Outcome> outcomes;
        if (!history.outcomesOf(file.value(kComputer), directoryID, outcomes, problem))
            return modCommandLine::Fail(m_err, problem);
        if (outcomes.isEmpty())
            row(file.value(kComputer), id >= 0 ? database.Computers(id)->Wave : QString(), nullptr, nullptr);
        for (const RunHistory::Outcome &outcome : std::as_const(outcomes))
            row(outcome.Computer, outcome.Wave, &outcome, nullptr);
    } else {
        QHash<QString, RunHistory::Summary> summaries;
        if (!history.summary(summaries, problem))
            return modCommandLine::Fail(m_err, problem);
        for (int id = 0; id < database.ComputerCount(); ++id) {
            const ComputerRecord *computer = database.Computers(id);
            if (!computer || !computer->Active || (!wave.isEmpty() && computer->Wave != wave))
                continue;
            const std::optional<RunHistory::Summary> found = RunHistory::SummaryOf(summaries, computer->Name, computer->DirectoryID);
            row(computer->Name, computer->Wave, found ? &found->latest : nullptr, found ? &*found : nullptr);
        }
    }
    m_out.flush();
    return 0;
}
