#pragma once

#include <QStringList>

class QTextStream;

// `vo engine cert [--renew]`: the fingerprint of the certificate the engine's
// listener shows the clients, made on first use. --renew makes a new one;
// a run under way keeps the certificate it started with, so the new one
// serves from the next run or check on.
class EngineCertCommand
{
public:
    EngineCertCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "engine cert".
    int run(const QStringList &arguments);

    static QString usage();

private:
    QTextStream &m_out;
    QTextStream &m_err;
};
