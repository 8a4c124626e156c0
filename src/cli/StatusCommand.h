#pragma once

#include <QStringList>

class QTextStream;

// `vo status FILE [--computer NAME | --wave NAME] [--csv]`: where each computer of FILE
// stands across runs, from the run history (the newest outcome of each, or
// every outcome of one computer); `vo status --prune-before DATE` removes
// the outcomes older than DATE.
class StatusCommand
{
public:
    StatusCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "status".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int prune(const QString &date);

    QTextStream &m_out;
    QTextStream &m_err;
};
