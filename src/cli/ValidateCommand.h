#pragma once

#include <QStringList>

class ComputerDB;
class QTextStream;
struct ValidationReport;
struct ValidationResult;

// `vo validate FILE [--json] [--passphrase-file F]`: runs the check the
// start command runs before a migration on a settings file and prints the
// code, the computer, the settings source and the message the console
// would show; with --json one JSON object with those four fields. Exit
// status 0 when it passes, 2 for a warning, 1 for an error or a file that
// cannot be loaded.
class ValidateCommand
{
public:
    enum ExitStatus : int {
        Passed = 0,
        Failed = 1,
        Warning = 2,
    };

    ValidateCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "validate".
    int run(const QStringList &arguments);

    static QString usage();

    // The four fields as `vo validate` prints them (vo run prints them too).
    static void print(QTextStream &out, const ComputerDB &database, const ValidationResult &result, const ValidationReport &report);
    static QByteArray json(const ComputerDB &database, const ValidationResult &result, const ValidationReport &report);
    static int exitStatus(const ValidationReport &report);

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
