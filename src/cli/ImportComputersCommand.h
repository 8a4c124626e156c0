#pragma once

#include <QStringList>

class QTextStream;

// `vo import-computers SERVER ... --into SETTINGS`: the console's import of
// computers from a directory, into a settings file. The file is written
// only after a complete read; a failure leaves it exactly as it was.
class ImportComputersCommand
{
public:
    ImportComputersCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "import-computers".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);
    // The first line of the file, without its line end.
    bool readFirstLine(const QString &path, const char *what, QString &line);

    QTextStream &m_out;
    QTextStream &m_err;
};
