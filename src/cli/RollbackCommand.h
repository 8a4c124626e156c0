#pragma once

#include <QStringList>

class QTextStream;

// `vo rollback FILE --from RESULTS [--computer NAME ...] [--forget]
// [--join-account ACCOUNT --join-password-file F]`: the engine reaches the
// computers of FILE that the migration whose results are in RESULTS reached
// (all of them, or those named) and each client reverses its journal,
// newest step first; with --forget it removes the journal instead. The
// rollback is a run of its own, with its own results folder, and every line
// that shows its results says "Rollback" (File > Roll Back Computers...).
class RollbackCommand
{
public:
    RollbackCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "rollback".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
