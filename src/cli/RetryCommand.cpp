#include "cli/RetryCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "common/modFormat.h"
#include "common/modRehearsal.h"
#include "database/ComputerDB.h"
#include "job/modRetry.h"
#include "settingsfile/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {
const QString kFrom = QStringLiteral("--from");
const QString kInto = QStringLiteral("--into");
const QString kJob = QStringLiteral("--job");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}
} // namespace

RetryCommand::RetryCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString RetryCommand::usage()
{
    return QStringLiteral("Usage: vo retry FILE --from RESULTS --into NEW [--job NAME] [--passphrase-file F]\n"
                          "\n"
                          "Writes NEW, a settings file with every group and setting of FILE but only the\n"
                          "computers that the run did not finish: those that ended with errors, were\n"
                          "canceled or aborted, stopped while still busy, or never answered. A\n"
                          "migration that completed with warnings counts as finished. FILE is only\n"
                          "read. Computers are matched by name.\n"
                          "\n"
                          "  --from RESULTS        the run's results folder (the log root + the job\n"
                          "                        name), whose client status file (CStatusFile,\n"
                          "                        normally varnoosk.sts) the engine writes during the\n"
                          "                        run; or a file saved with File > Save Migration State\n"
                          "  --into NEW            the new settings file; it must not exist yet\n"
                          "  --job NAME            the new job's name; else FILE's job name (or, without\n"
                          "                        one, its file name) + \" retry\"\n"
                          "                        (\" retry 2\" and so on when that job has results)\n"
                          "  --passphrase-file F   read the passphrase of FILE (and of a migration state\n"
                          "                        file) from the first line of F; NEW keeps the\n"
                          "                        passwords sealed with it\n"
                          "\n"
                          "Exit status: 0 NEW written, 2 every computer finished (nothing written),\n"
                          "1 a usage error, a file that cannot be read or written, or RESULTS that name\n"
                          "none of FILE's computers (another job's).\n");
}

int RetryCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

bool RetryCommand::readStatuses(
    const QString &results, const QString &passphrase, const QSet<QString> &computers, QHash<QString, QString> &statuses, QString &problem)
{
    const QFileInfo info(results);
    if (info.isDir()) {
        const QString path = modRetry::MigrationStatusFile(results, problem);
        if (path.isEmpty())
            return false;
        if (!modRetry::ReadStatusFile(path, computers, statuses, problem))
            return false;
        if (QFileInfo(QFileInfo(path).dir(), QString::fromLatin1(modRehearsal::MarkerFile)).exists()) {
            m_out << modRehearsal::NothingMigrated() << '\n';
            for (QString &status : statuses)
                status.clear();
        }
        return true;
    }
    ComputerDB state;
    const SettingsFileResult loaded = SettingsFile().Load(results, passphrase, state);
    if (!loaded.ok()) {
        problem = loaded.Message;
        return false;
    }
    if (!loaded.LastStatus) {
        problem = QStringLiteral("\"%1\" is a settings file, not a migration state: it holds no computer's status.").arg(native(results));
        return false;
    }
    for (auto it = loaded.LastStatus->cbegin(); it != loaded.LastStatus->cend(); ++it) {
        const QString key = modRetry::NameKey(state.GetComputerName(it.key()));
        if (computers.contains(key))
            statuses.insert(key, it.value());
    }
    return true;
}

int RetryCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return Written;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {}, {kFrom, kInto, kJob}, problem) || !file.has(kFrom) || !file.has(kInto)) {
        if (problem.isEmpty())
            problem = QStringLiteral("Invalid syntax. --from RESULTS and --into NEW are needed.");
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return Failed;
    }
    const QString into = file.value(kInto);
    if (QFileInfo::exists(into))
        return failure(QStringLiteral("\"%1\" already exists; name a new file with --into.").arg(native(into)));
    if (file.has(kJob) && !modFormat::IsValidFileName(file.value(kJob)))
        return failure(QStringLiteral("The job name \"%1\" must be a valid Windows file name.").arg(file.value(kJob)));

    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);
    const QSet<QString> computers = modRetry::ActiveComputerKeys(database);
    QHash<QString, QString> statuses;
    if (!readStatuses(file.value(kFrom), file.passphrase(), computers, statuses, problem))
        return failure(problem);
    // Results of another job match none of this one's computers, and would
    // make every one of them look as if it never answered.
    if (statuses.isEmpty())
        return failure(QStringLiteral("None of the %1 computers of \"%2\" is named in \"%3\": those are the results of another job. "
                                      "No new job was written.")
                           .arg(computers.size())
                           .arg(native(file.path()), native(file.value(kFrom))));
    m_out << QStringLiteral("\"%1\" matched %2 of the %3 computers.\n")
                 .arg(native(file.value(kFrom)))
                 .arg(statuses.size())
                 .arg(computers.size());

    const modRetry::Split split
        = modRetry::UnfinishedJob(database, [&](int id) { return statuses.value(modRetry::NameKey(database.GetComputerName(id))); });
    if (split.Kept == 0) {
        m_out << "Every one of the " << split.Finished << " computers finished; no new job was written.\n";
        m_out.flush();
        return NothingToDo;
    }
    SettingsFile::SaveOptions options;
    // A file saved without a job name is named after itself, as an import into a new file is.
    const QString jobName = file.result().JobName.trimmed().isEmpty() ? QFileInfo(file.path()).baseName() : file.result().JobName;
    options.JobName = file.has(kJob) ? file.value(kJob) : modRetry::NextJobName(jobName);
    options.Passphrase = file.passphrase();
    const SettingsFileResult saved = SettingsFile().Save(*split.Database, into, options);
    if (!saved.ok())
        return failure(saved.Message);
    m_out << QStringLiteral("Kept %1 %2 that did not finish, of %3, in %4 as job \"%5\"; %6 finished and were left out.\n")
                 .arg(split.Kept)
                 .arg(QLatin1String(split.Kept == 1 ? "computer" : "computers"))
                 .arg(split.Kept + split.Finished)
                 .arg(native(into), options.JobName)
                 .arg(split.Finished);
    m_out.flush();
    return Written;
}
