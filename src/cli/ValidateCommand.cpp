#include "cli/ValidateCommand.h"

#include "cli/JobFile.h"
#include "cli/modCommandLine.h"
#include "database/ComputerDB.h"
#include "validation/JobValidator.h"
#include "validation/ValidationReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

// Messages join their lines with CR; a terminal wants LF.
QString terminalText(QString text)
{
    return text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

} // namespace

ValidateCommand::ValidateCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString ValidateCommand::usage()
{
    return QStringLiteral("Usage: vo validate FILE [--json] [--passphrase-file F]\n"
                          "\n"
                          "Checks a Varno-Osk settings file the way Start Migration does before a run:\n"
                          "every active computer's settings, accounts and user list, in computer order,\n"
                          "up to the first fault. Prints the validation code, the computer, the node\n"
                          "whose settings it uses and the message the console would show.\n"
                          "\n"
                          "  --json                one JSON object: code, computer, settingsSource,\n"
                          "                        message (empty when the check passes)\n"
                          "  --passphrase-file F   read the passphrase of a file saved with one from the\n"
                          "                        first line of F\n"
                          "\n"
                          "Exit status: 0 passed, 2 a warning the administrator may ignore, 1 an error\n"
                          "or a file that cannot be loaded.\n");
}

int ValidateCommand::failure(const QString &text)
{
    return modCommandLine::Fail(m_err, text);
}

int ValidateCommand::exitStatus(const ValidationReport &report)
{
    if (report.Passed)
        return Passed;
    return report.Warning ? Warning : Failed;
}

void ValidateCommand::print(QTextStream &out, const ComputerDB &database, const ValidationResult &result, const ValidationReport &report)
{
    out << "Code: " << result.Code << (report.Warning ? " (warning)" : "") << '\n';
    out << "Computer: " << (report.Passed ? QString() : ValidationReport::NodeText(database, result.ComputerKey)) << '\n';
    out << "Settings source: ";
    if (!report.Passed)
        out << ValidationReport::NodeText(database, result.SettingsSourceKey) << " (" << result.SettingsSourceKey << ')';
    out << '\n';
    out << (report.Passed ? QStringLiteral("Validation passed.") : terminalText(report.Message)) << '\n';
    out.flush();
}

QByteArray ValidateCommand::json(const ComputerDB &database, const ValidationResult &result, const ValidationReport &report)
{
    QJsonObject object;
    object.insert(QStringLiteral("code"), result.Code);
    object.insert(QStringLiteral("computer"), report.Passed ? QString() : ValidationReport::NodeText(database, result.ComputerKey));
    object.insert(QStringLiteral("settingsSource"), report.Passed ? QString() : result.SettingsSourceKey);
    object.insert(QStringLiteral("message"), terminalText(report.Message));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

int ValidateCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        m_out.flush();
        return Passed;
    }
    JobFile file;
    QString problem;
    if (!file.parse(arguments, {QStringLiteral("--json")}, {}, problem)) {
        m_err << "ERROR: " << problem << "\n\n" << usage();
        m_err.flush();
        return Failed;
    }
    ComputerDB database;
    if (!file.load(database, problem))
        return failure(problem);

    const ValidationResult result = JobValidator(database).Verify(0);
    const ValidationReport report = ValidationReport::Build(result, database);
    if (file.has(QStringLiteral("--json"))) {
        m_out << json(database, result, report) << '\n';
        m_out.flush();
    } else {
        print(m_out, database, result, report);
    }
    return exitStatus(report);
}
