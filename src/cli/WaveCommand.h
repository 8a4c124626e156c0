#pragma once

#include <QStringList>

class ComputerDB;
class QTextStream;

// `vo wave list|add|set|remove|assign|unassign FILE ...`: the waves of a
// settings file and the computers given to them, saved back into the file.
class WaveCommand
{
public:
    WaveCommand(QTextStream &out, QTextStream &err);

    // `arguments` are those after "wave".
    int run(const QStringList &arguments);

    static QString usage();

private:
    int failure(const QString &text);
    void list(const ComputerDB &database);

    QTextStream &m_out;
    QTextStream &m_err;
};
