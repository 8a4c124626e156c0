#include "cli/RunCommand.h"

#include "cli/JobFile.h"
#include "engine/ClientStatus.h"
#include "engine/EngineJournal.h"
#include "cli/RunTerminal.h"
#include "cli/ValidateCommand.h"
#include "cli/modCommandLine.h"
#include "common/AppState.h"
#include "common/Clock.h"
#include "common/ConsoleConfig.h"
#include "common/RunState.h"
#include "common/modConsoleKey.h"
#include "common/modFormat.h"
#include "common/modGeneral.h"
#include "common/modRegistry.h"
#include "common/modRehearsal.h"
#include "database/ComputerDB.h"
#include "engine/QXEInterface.h"
#include "engine/SimulatedEngine.h"
#include "engine/SimulationProfile.h"
#include "engine/modEngine.h"
#include "job/MigrationRun.h"
#include "job/RunReport.h"
#include "job/StartMigration.h"
#include "validation/JobValidator.h"
#include "validation/ValidationReport.h"

#include <QDir>
#include <QTextStream>

namespace {

// The console's "Existing Migration Found" question, told as a refusal:
// what the window's Yes and No do, --append and --job do here.
QString existingMigrationText(const QString &folder, const QString &job)
{
    return QStringLiteral("Existing Migration Found\n"
                          "Migration log files were found in results folder:\n"
                          "'%1'.\n"
                          "\n"
                          "It is recommended that you run each migration under a separate job name\n"
                          "to keep all migration logs and associated save files encapsulated.\n"
                          "To change the migration job name, give another --job NAME.  To proceed\n"
                          "as job '%2' without changing the name, give --append: the results\n"
                          "of this migration will then be appended to the existing log files.")
        .arg(QDir::toNativeSeparators(folder), job);
}

} // namespace

RunCommand::RunCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString RunCommand::usage()
{
    return QStringLiteral("Usage: vo run FILE [--rehearsal] [--ignore-warnings] [--job NAME] [--append]\n"
                          "              [--profile P] [--listener ADDRESS] [--passphrase-file F]\n"
                          "              [--report DIR] [--wave NAME]\n"
                          "       vo run FILE --resume RESULTS [--report DIR] [--passphrase-file F]\n"
                          "\n"
                          "Runs the migration of a Varno-Osk settings file without the console window:\n"
                          "checks it as Start Migration does, hands the job to the engine the registry\n"
                          "value Engine chooses, and prints each line of the progress log: every status\n"
                          "change of every computer and the engine's progress lines, up to \"Processing\n"
                          "complete.\". The engine's and the clients' logs go to the results folder of the\n"
                          "job: the registry value LogPath + the job name. A results folder that already\n"
                          "holds logs of an earlier run is refused unless --append is given. At the end\n"
                          "vo names every computer that did not migrate successfully, with its last status.\n"
                          "\n"
                          "Engine \"ssh\": the engine program reaches every computer over ssh and its\n"
                          "client service migrates it; the computers are changed. The first line of the\n"
                          "progress log says so.\n"
                          "Engine \"rehearsal\", or --rehearsal: the simulated engine plays the job and\n"
                          "changes no computer; the header, the progress log, the summary and the report\n"
                          "say \"Rehearsal\".\n"
                          "Engine not set: the run is refused; choose with vo config set Engine ssh, or\n"
                          "pass --rehearsal.\n"
                          "\n"
                          "Ctrl-C once cancels the computers not yet started; a second Ctrl-C aborts\n"
                          "the migration; a third ends vo at once.\n"
                          "\n"
                          "  --rehearsal           rehearse whatever the registry value Engine says (the\n"
                          "                        way for scripts)\n"
                          "  --ignore-warnings     go on after a validation warning (as \"Ignore Once\")\n"
                          "  --job NAME            the migration job name; default the one saved in the\n"
                          "                        file, else the next free \"Migration\" + number\n"
                          "  --append              run even when the results folder holds logs; this\n"
                          "                        run's logs are added to them\n"
                          "  --profile P           a rehearsal's simulation profile to play (see\n"
                          "                        examples/simulation-profile.txt); default the one named\n"
                          "                        by VARNO_OSK_SIMULATION or the registry\n"
                          "  --listener ADDRESS    the listener address; default the stored ListenerIP\n"
                          "                        while it is an address of this machine, else the\n"
                          "                        machine's first (a stored one it no longer has is emptied)\n"
                          "  --passphrase-file F   read the passphrase of a file saved with one from the\n"
                          "                        first line of F\n"
                          "  --report DIR          at the end, write the run report into DIR:\n"
                          "                        report.csv (one row per computer) and report.html\n"
                          "  --resume RESULTS      follow again the run whose results folder is RESULTS,\n"
                          "                        which went on after the console or vo that started\n"
                          "                        it went away (closed, or killed): every computer's\n"
                          "                        status from where it stands, to the end. When its\n"
                          "                        engine is gone too, a new one delivers the computers\n"
                          "                        it never delivered, and asks those it was at work on\n"
                          "                        how they stand before it delivers or collects them\n"
                          "  --wave NAME           run only the computers of that wave (vo wave list names\n"
                          "                        them), with its start time, cap and threshold; the\n"
                          "                        logs are added to the job's results folder, as one\n"
                          "                        wave's run follows another's\n"
                          "\n"
                          "Exit status: 0 every computer migrated successfully; 2 a validation warning\n"
                          "stopped the run, or some computers ended with warnings and none worse;\n"
                          "1 otherwise.\n");
}

int RunCommand::resume(JobFile &file, const QString &resumeOption, const QString &reportOption)
{
    const QStringList alone = {QStringLiteral("--rehearsal"), QStringLiteral("--ignore-warnings"), QStringLiteral("--job"),
        QStringLiteral("--append"), QStringLiteral("--profile"), QStringLiteral("--listener"), QStringLiteral("--wave")};
    for (const QString &option : alone) {
        if (file.has(option))
            return failure(QStringLiteral("%1 is for a new run; --resume follows one that is going.").arg(option));
    }
    const QString results = QDir::current().absoluteFilePath(file.value(resumeOption));
    ComputerDB database;
    QString problem;
    if (!file.load(database, problem))
        return failure(problem);
    EngineJournal::Contents journal;
    if (!EngineJournal::Read(results, journal, problem))
        return failure(problem);
    AppState::Get().CurrentJobName = journal.run;
    AppState::Get().CurrentSettingsFile = QDir::current().absoluteFilePath(file.path());
    m_out << "Migration Job Name: " << journal.run << '\n';
    m_out << "Results folder: " << QDir::toNativeSeparators(results) << '\n';
    if (journal.complete)
        return ended(journal);
    m_out.flush();
    if (!EngineJournal::EngineAlive(journal))
        return deliverTheRest(database, results, file.has(reportOption) ? file.value(reportOption) : QString());
    QXEInterface qxe(modEngine::CreateAttachHandler());
    MigrationRun migration(database);
    bool attached = true;
    const int status = RunTerminal(m_out, m_err).follow(
        database, migration,
        [&] {
            attached = migration.Reattach(qxe, results, problem);
            // The run may have ended since its journal was read.
            if (!attached && (!EngineJournal::Read(results, journal, problem) || !journal.complete))
                m_err << "ERROR: " << problem << '\n';
        },
        file.has(reportOption) ? file.value(reportOption) : QString());
    if (!attached)
        return journal.complete ? ended(journal) : 1;
    return status;
}

int RunCommand::ended(const EngineJournal::Contents &journal)
{
    // Nothing to follow: how each computer ended, as the run left it.
    m_out << "The run ended while no console followed it.\n";
    int status = 0; // 0 all successful, 2 some with warnings and none worse, 1 else
    for (int n = 1; n <= journal.clients.size(); ++n) {
        const QString code = journal.statuses.value(n);
        if (code == QLatin1String("XW"))
            status = qMax(status, 2);
        else if (code != QLatin1String("XS"))
            status = 3;
        m_out << journal.clients.at(n - 1) << ": " << ClientStatus::Text(code) << '\n';
    }
    m_out.flush();
    return status == 3 ? 1 : status;
}

int RunCommand::deliverTheRest(ComputerDB &database, const QString &results, const QString &report)
{
    QXEInterface qxe(modEngine::CreateHandler(false));
    if (qxe.Engine().Rehearses())
        return failure(QStringLiteral("The registry value Engine is not \"ssh\": the computers of this run are not delivered."));
    MigrationRun migration(database);
    QString problem;
    bool started = true;
    const int status = RunTerminal(m_out, m_err).follow(
        database, migration,
        [&] {
            started = migration.StartUndelivered(qxe, results, problem);
            if (!started)
                m_err << "ERROR: " << problem << '\n';
        },
        report);
    return started ? status : 1;
}

int RunCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int RunCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    const QString ignoreWarnings = QStringLiteral("--ignore-warnings");
    const QString jobOption = QStringLiteral("--job");
    const QString profileOption = QStringLiteral("--profile");
    const QString listenerOption = QStringLiteral("--listener");
    const QString appendOption = QStringLiteral("--append");
    const QString reportOption = QStringLiteral("--report");
    const QString rehearsalOption = QStringLiteral("--rehearsal");
    const QString waveOption = QStringLiteral("--wave");
    const QString resumeOption = QStringLiteral("--resume");
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {ignoreWarnings, appendOption, rehearsalOption}, {jobOption, profileOption, listenerOption, reportOption, waveOption, resumeOption},
            problem)) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return 1;
    }

    // As the console's start-up does: on a fresh store there is no key yet,
    // and a run could not read its configuration without one.
    if (!modConsoleKey::Prepare())
        return 1;
    if (file.has(resumeOption))
        return resume(file, resumeOption, reportOption);
    if (const QString refusal = modRehearsal::Refusal(file.has(rehearsalOption)); !refusal.isEmpty())
        return failure(refusal);
    // A script must not migrate computers because someone chose the engine
    // in a window, nor rehearse while its author thinks it migrates.
    if (!file.has(rehearsalOption) && modRehearsal::Chosen() == modRehearsal::Choice::NotChosen)
        return failure(QStringLiteral("No engine is chosen yet: the registry value Engine is not set.  To migrate the clients, run\n"
                                      "vo config set Engine ssh; to rehearse the job on the simulated engine, which changes no\n"
                                      "computer, pass --rehearsal (or run vo config set Engine rehearsal)."));
    const bool rehearse = file.has(rehearsalOption) || modRehearsal::EngineRehearses();
    if (!rehearse && file.has(profileOption))
        return failure(QStringLiteral("--profile is a rehearsal's: the ssh engine migrates the clients and plays no profile.  "
                                      "Leave it out, or pass --rehearsal."));

    const QString listener
        = modCommandLine::ListenerAddress(file.has(listenerOption) ? std::optional(file.value(listenerOption)) : std::nullopt, problem);
    if (listener.isEmpty())
        return failure(problem);
    if (file.has(profileOption)) {
        // Read once here, so that a broken profile is named before anything starts.
        SimulationProfile profile;
        if (!profile.Load(file.value(profileOption), &problem))
            return failure(problem);
        qputenv(SimulatedEngine::ProfileVariable, QDir::current().absoluteFilePath(file.value(profileOption)).toLocal8Bit());
    }

    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);

    QString wave;
    if (file.has(waveOption)) {
        wave = database.Waves().canonicalName(file.value(waveOption));
        if (wave.isEmpty())
            return failure(QStringLiteral("There is no wave named \"%1\" in \"%2\"; vo wave list names them.")
                               .arg(file.value(waveOption), QDir::toNativeSeparators(file.path())));
    }

    AppState::State &state = AppState::Get();
    QString job = file.has(jobOption) ? file.value(jobOption) : file.result().JobName;
    if (job.isEmpty())
        job = modGeneral::GetNextMigJobName(QString());
    if (!modFormat::IsValidFileName(job) || job.trimmed().isEmpty())
        return failure(QStringLiteral("\"%1\" cannot be a migration job name: it names the results folder.").arg(job));
    state.CurrentJobName = job;
    state.CurrentSettingsFile = QDir::current().absoluteFilePath(file.path());
    const QString resultsFolder = modGeneral::GetLogPath();

    // The console's rule: one job's logs are not mixed with another run's
    // unless the administrator says so. It comes before the checks, as the
    // console's question does.
    const bool earlierLogs = StartMigration::HasEarlierLogs(resultsFolder);
    // The waves of one job are run one after the other into its one folder.
    if (earlierLogs && !file.has(appendOption) && wave.isEmpty())
        return failure(existingMigrationText(resultsFolder, job));

    const ValidationResult result = JobValidator(database, rehearse ? QString() : listener).Verify(0);
    const ValidationReport report = ValidationReport::Build(result, database);
    if (!report.Passed) {
        ValidateCommand::print(report.Warning ? m_out : m_err, database, result, report);
        if (!report.Warning)
            return 1;
        if (!file.has(ignoreWarnings)) {
            m_err << "The run stops at the warning; --ignore-warnings goes on.\n";
            m_err.flush();
            return 2;
        }
    }

    QXEInterface qxe(modEngine::CreateHandler(rehearse));
    const bool rehearsal = qxe.Engine().Rehearses();
    const auto labelled = [rehearsal](const QString &text) { return rehearsal ? modRehearsal::Label(text) : text; };
    m_out << labelled(QStringLiteral("Migration Job Name: ") + job) << '\n';
    m_out << "Results folder: " << QDir::toNativeSeparators(resultsFolder) << '\n';
    if (earlierLogs)
        m_out << "The results folder holds logs of an earlier run; this run's are appended.\n";
    if (!file.result().PasswordsIncluded)
        m_out << "The settings file holds no passwords; the clients are given empty ones.\n";
    m_out << "Listener: " << listener << '\n';
    if (!wave.isEmpty())
        m_out << "Wave: " << wave << " only\n";
    m_out.flush();

    qxe.SetListenerAddressSource([listener] { return listener; });
    MigrationRun migration(database);
    return RunTerminal(m_out, m_err)
        .follow(database, migration, [&] { migration.Start(qxe, wave); }, file.has(reportOption) ? file.value(reportOption) : QString());
}
