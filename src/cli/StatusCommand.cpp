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
    return QStringLiteral("Usage: vo status FILE [--computer NAME] [--csv] [--passphrase-file F]\n"
                          "       vo status --prune-before YYYY-MM-DD\n"
                          "\n"
                          "Where every computer of FILE stands across runs: the newest outcome the run\n"
                          "history holds for it (its status, the run, whether that run migrated or rolled\n"
                          "back, and when), or \"never run\". The history is kept per user beside the\n"
                          "registry store (history.db), whatever becomes of the settings file; rehearsals\n"
                          "are not in it. Computers are matched by name.\n"
                          "\n"
                          "  --computer NAME        every outcome of that computer, newest first\n"
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
    if (!file.parse(arguments, {kCsv}, {kComputer}, problem)) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return 1;
    }
    ComputerDB database;
    if (!file.load(database, problem))
        return modCommandLine::Fail(m_err, problem);
    RunHistory history;
    const bool csv = file.has(kCsv);
    const auto row = [&](const QString &computer, const RunHistory::Outcome *outcome) {
        if (csv) {
            m_out << modReportFormat::CsvRow({computer, outcome ? outcome->Status : QString(), outcome ? outcome->Reason : QStringLiteral("never run"),
                outcome ? outcome->Run : QString(), outcome ? outcome->Kind : QString(), outcome ? shown(outcome->Time) : QString()});
            return;
        }
        m_out << computer << ": ";
        if (!outcome)
            m_out << "never run\n";
        else
            m_out << outcome->Status << ' ' << outcome->Reason << " (" << outcome->Kind << " \"" << outcome->Run << "\", " << shown(outcome->Time)
                  << ")\n";
    };
    if (csv)
        m_out << modReportFormat::CsvHeader({QStringLiteral("Computer"), QStringLiteral("Status Code"), QStringLiteral("Status Text"),
            QStringLiteral("Run"), QStringLiteral("Kind"), QStringLiteral("Time")});
    if (file.has(kComputer)) {
        QList<RunHistory::Outcome> outcomes;
        if (!history.outcomesOf(file.value(kComputer), outcomes, problem))
            return modCommandLine::Fail(m_err, problem);
        if (outcomes.isEmpty())
            row(file.value(kComputer), nullptr);
        for (const RunHistory::Outcome &outcome : std::as_const(outcomes))
            row(outcome.Computer, &outcome);
    } else {
        QHash<QString, RunHistory::Outcome> latest;
        if (!history.latest(latest, problem))
            return modCommandLine::Fail(m_err, problem);
        for (int id = 0; id < database.ComputerCount(); ++id) {
            const ComputerRecord *computer = database.Computers(id);
            if (!computer || !computer->Active)
                continue;
            const auto found = latest.constFind(computer->Name.toCaseFolded());
            row(computer->Name, found == latest.cend() ? nullptr : &*found);
        }
    }
    m_out.flush();
    return 0;
}
