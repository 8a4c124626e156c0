#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// `vo enable|disable FILE --group PATH... --computer NAME...`: takes
// computers of a settings file out of the job, or back into it, keeping
// their settings and users; saved back into the file.
class EnableCommand
{
public:
    EnableCommand(QTextStream &out, QTextStream &err);

    // `enable` says which of the two; `arguments` are those after it.
    int run(bool enable, const QStringList &arguments);

    static QString usage();

private:
    QTextStream &m_out;
    QTextStream &m_err;
};
