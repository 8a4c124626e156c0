#pragma once

#include <QStringList>

class QTextStream;

// `vo engine key [--rotate]`: the public half of the console's own key pair,
// made on first use, as the line an authorized_keys file takes. --rotate
// makes a new pair first and keeps the old one beside it (".old").
class EngineKeyCommand
{
public:
    EngineKeyCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "engine key".
    int run(const QStringList &arguments);

    static QString usage();

private:
    QTextStream &m_out;
    QTextStream &m_err;
};
