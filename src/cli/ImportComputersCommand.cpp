#include "cli/ImportComputersCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "database/ComputerDB.h"
#include "import/ADComputerImport.h"
#include "import/ADSImportInput.h"
#include "settingsfile/SettingsFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTextStream>

namespace {

const QStringList kValueOptions {QStringLiteral("--port"), QStringLiteral("--user"), QStringLiteral("--domain"),
    QStringLiteral("--password-file"), QStringLiteral("--ca"), QStringLiteral("--into"), QStringLiteral("--passphrase-file")};
const QStringList kFlags {QStringLiteral("--starttls"), QStringLiteral("--ldaps"), QStringLiteral("--all-users")};

} // namespace

ImportComputersCommand::ImportComputersCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString ImportComputersCommand::usage()
{
    return QStringLiteral("Usage: vo import-computers SERVER [--port N] --user U --domain D --password-file F\n"
                          "                           [--starttls | --ldaps] [--ca FILE] [--all-users]\n"
                          "                           --into SETTINGS [--passphrase-file P]\n"
                          "\n"
                          "Reads every computer object of a directory server and adds those that the\n"
                          "settings file does not hold yet, each in the groups of its organisational\n"
                          "units, as File > Import > Computers from Active Directory does. The file is\n"
                          "created when it does not exist; when the import fails it is left as it was.\n"
                          "\n"
                          "  --port N              the server's port (default 389, 636 with --ldaps)\n"
                          "  --user U, --domain D  signs in as D\\U, or as U when U is a DN\n"
                          "  --password-file F     the password is the first line of F\n"
                          "  --starttls, --ldaps   a TLS connection; the certificate is always checked\n"
                          "  --ca FILE             the certificate authority to check it with\n"
                          "  --all-users           give every added computer the all-users migration\n"
                          "  --passphrase-file P   the passphrase of a settings file saved with one\n"
                          "\n"
                          "Exit status: 0 success, 1 failure.\n");
}

int ImportComputersCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

bool ImportComputersCommand::readFirstLine(const QString &path, const char *what, QString &line)
{
    QString problem;
    if (JobFile::ReadFirstLine(path, what, line, problem))
        return true;
    failure(problem);
    return false;
}

int ImportComputersCommand::run(const QStringList &arguments)
{
    if (!arguments.isEmpty() && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return 0;
    }
    QHash<QString, QString> values;
    QStringList flags;
    QString serverName;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        QString value;
        const qsizetype equals = option.indexOf(QLatin1Char('='));
        if (option.startsWith(QLatin1String("--")) && equals > 0) {
            value = option.mid(equals + 1);
            option.truncate(equals);
        } else if (kValueOptions.contains(option)) {
            if (i + 1 >= arguments.size())
                return failure(QStringLiteral("Invalid syntax. %1 needs a value.").arg(option));
            value = arguments.at(++i);
        }
        if (kValueOptions.contains(option)) {
            if (values.contains(option))
                return failure(QStringLiteral("Invalid syntax. %1 is given twice.").arg(option));
            values.insert(option, value);
        } else if (kFlags.contains(option) && equals < 0) {
            flags.append(option);
        } else if (option.startsWith(QLatin1String("--"))) {
            return failure(QStringLiteral("Invalid syntax. Unknown option \"%1\".").arg(arguments.at(i)));
        } else if (serverName.isEmpty()) {
            serverName = option;
        } else {
            return failure(QStringLiteral("Invalid syntax. Only one server can be given."));
        }
    }
    if (serverName.isEmpty() || !values.contains(QStringLiteral("--into"))) {
        m_err << usage();
        m_err.flush();
        return 1;
    }
    if (flags.contains(QStringLiteral("--starttls")) && flags.contains(QStringLiteral("--ldaps")))
        return failure(QStringLiteral("Invalid syntax. Give --starttls or --ldaps, not both."));
    if (!values.contains(QStringLiteral("--password-file")))
        return failure(QStringLiteral("Invalid syntax. --password-file is needed: a password is never taken on the command line."));

    ADSImportInput input;
    input.Server = serverName;
    input.Port = values.value(QStringLiteral("--port"));
    input.User = values.value(QStringLiteral("--user"));
    input.Domain = values.value(QStringLiteral("--domain"));
    input.CAFile = values.value(QStringLiteral("--ca"));
    input.AllUsers = flags.contains(QStringLiteral("--all-users"));
    if (flags.contains(QStringLiteral("--starttls")))
        input.Mode = DirectoryClient::Security::StartTLS;
    else if (flags.contains(QStringLiteral("--ldaps")))
        input.Mode = DirectoryClient::Security::LDAPS;
    const ADSImportInput::Problem problem = input.DoInputChecks();
    if (!problem.ok())
        return failure(problem.Message);
    if (!readFirstLine(values.value(QStringLiteral("--password-file")), "password", input.Password))
        return 1;
    QString passphrase;
    if (values.contains(QStringLiteral("--passphrase-file"))
        && !readFirstLine(values.value(QStringLiteral("--passphrase-file")), "passphrase", passphrase))
        return 1;

    const QString path = values.value(QStringLiteral("--into"));
    ComputerDB database;
    SettingsFile file;
    SettingsFile::SaveOptions options;
    if (QFile::exists(path)) {
        const SettingsFileResult loaded = file.Load(path, passphrase, database);
        if (!loaded.ok())
            return failure(loaded.Message);
        options.JobName = loaded.JobName;
        options.LastStatus = loaded.LastStatus;
        if (loaded.PasswordsIncluded)
            options.Passphrase = passphrase;
    }

    ADComputerImport import;
    DirectoryClient::Server server = input.ToServer();
    input.Password.fill(QLatin1Char('\0'));
    const int result = import.AddADComputers(server, database, nullptr, false, input.AllUsers);
    server.Password.fill(QLatin1Char('\0'));
    if (result >= ADComputerImport::BadCredentials && result <= ADComputerImport::OtherFailure)
        return failure(QStringLiteral("Nothing was imported; \"%1\" is unchanged.").arg(QDir::toNativeSeparators(path)));

    const SettingsFileResult saved = file.Save(database, path, options);
    if (!saved.ok())
        return failure(saved.Message);
    m_out << import.CountsText() << " Saved in \"" << QDir::toNativeSeparators(path) << "\".\n";
    if (result != ADComputerImport::Success)
        m_out << "Some added computers did not take the all-users migration.\n";
    m_out.flush();
    return 0;
}
