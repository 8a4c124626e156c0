#pragma once

#include <QStringList>

class QTextStream;

// `vo tree FILE [--passphrase-file F]`: loads a settings file and prints its
// computer tree as the console shows it: "All Computers" first, then under
// each parent its groups before its computers, each in name order without
// regard to case, two blanks of indent per level, and " *" after every node
// with its own settings. Exit status 0, or 1 with an "ERROR: ..." line.
class TreeCommand
{
public:
    TreeCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "tree".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);

    QTextStream &m_out;
    QTextStream &m_err;
};
