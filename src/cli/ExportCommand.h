#pragma once

#include <QStringList>

class JobExport;
class QTextStream;
class QXEInterface;

// `vo export FILE --out DIR [--listener ADDRESS] [--port N]
// [--passphrase-file F]`: exports a settings file as Start Migration hands it
// to the engine. Each client's scrambled configuration file goes to
// DIR/<computer name>/varnoosk.cfg, and DIR/arrays.txt shows the
// translation, client and settings arrays cell by cell (passwords masked).
// The file is checked first: an error stops the export (exit status 1), a
// warning is shown and the export goes on. Exit status 0 otherwise.
class ExportCommand
{
public:
    ExportCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "export".
    int run(const QStringList &arguments);

    static QString usage();

    // Writes the job of `job` into `folder` as the command does, row by row
    // so that memory stays flat, and makes it durable once at the end; the
    // number of clients, or false with the problem.
    static bool WriteJob(QXEInterface &qxe, JobExport &job, const QString &folder, int &clients, QString &problem);
    static QString DumpFileName(); // "arrays.txt"

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
