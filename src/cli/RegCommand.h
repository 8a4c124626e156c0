#pragma once

#include "common/RegistryStore.h"

#include <QStringList>

class QTextStream;

// `vo reg`: the Windows reg command's query, add and delete over the
// console's registry store, with its switches, its output layout and its
// exit status (0 success, 1 failure with an "ERROR: ..." line).
class RegCommand
{
public:
    // `in` answers the overwrite and delete questions; at its end the answer is No.
    RegCommand(QTextStream &out, QTextStream &err, QTextStream &in);

    // `arguments` are those after "reg".
    int run(const QStringList &arguments);

    static QString usage();

private:
    struct Options
    {
        QString operation;
        QString machine;
        QString keyPath; // without the machine part
        QString valueName;
        bool hasValueName = false; // /v or /ve
        bool defaultValue = false; // /ve
        bool allValues = false; // /va
        bool recurse = false; // /s on query
        bool force = false; // /f
        QString type = QStringLiteral("REG_SZ");
        QString data;
        QString separator = QStringLiteral("\\0");
    };

    int query(const Options &options);
    int add(const Options &options);
    int remove(const Options &options);

    int parse(const QStringList &arguments, Options *options);
    int syntaxError(const QString &operation, const QString &detail = QString());
    int failure(const QString &text);
    int failureForCode(long code);
    bool confirm(const QString &question);

    void printKey(const QString &fullName);
    void printValue(const QString &name, quint32 type, const QByteArray &data);
    int printMatchingValues(RegKey key, const QString &fullName, const Options &options, int *matches);
    int queryTree(RegKey top, const QString &topName, const Options &options, int *matches);
    static QString formatData(quint32 type, const QByteArray &data);
    static bool encodeData(quint32 type, const QString &text, const QString &separator, QByteArray *data, QString *problem);
    static QString operationUsage(const QString &operation);

    QTextStream &m_out;
    QTextStream &m_err;
    QTextStream &m_in;
};
