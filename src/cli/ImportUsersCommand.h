#pragma once

#include <QStringList>

class QTextStream;

// `vo import-users FILE [--type N] --into SETTINGS [--passphrase-file F]`:
// imports a user list file into a settings file as File > Import > From
// File... imports it into the console's database, and prints the same lines
// the console's log window lists. A file with errors in its lines leaves
// the settings file as it was, byte for byte.
class ImportUsersCommand
{
public:
    ImportUsersCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "import-users".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
