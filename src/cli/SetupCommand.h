#pragma once

#include <QStringList>

class QTextStream;

// `vo setup FILE --action ... [...]`: the easy setup wizard from the command
// line. The options answer the wizard's pages, which check them with the
// same rules and messages; the result replaces every setting of FILE's
// groups and computers with one record on "All Computers", as Finish does.
// A FILE that does not exist yet becomes a new job without computers.
class SetupCommand
{
public:
    enum ExitStatus : int {
        Written = 0,
        Failed = 1,
    };

    SetupCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "setup".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
