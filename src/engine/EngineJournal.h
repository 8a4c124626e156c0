#pragma once

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QString>
#include <QStringList>

class PrivateFolder;

// The engine's own record of a run, in the results folder beside the logs,
// so that a console that went away (closed with the run left going, or
// killed) can find the run again: which engine process runs it and where it
// takes a console back, every client by name, each status as it changed,
// and a hash of each client's token (never the token). One JSON object a
// line, the first naming the format and its version; the last says the run
// is over. Written 0600 and without following a link (PrivateFolder).
class EngineJournal
{
public:
    static constexpr int Version = 1;
    static const QString FileName; // "engine.journal"
    // More than the journal of the largest job with every status it can have.
    static constexpr qint64 MaxBytes = qint64(512) << 20;

    struct Contents
    {
        int version = 0;
        QString run; // the results folder's name, which is the job's
        QString mode;
        qint64 pid = 0;
        QString attach; // the local socket a console attaches to
        QDateTime started;
        QStringList clients; // by client number - 1
        QHash<int, QString> statuses; // the last status of each client that has one
        QHash<int, QString> tokenHashes;
        bool complete = false;
    };

    bool Open(PrivateFolder &folder, const Contents &header);
    void Status(int client, const QString &code);
    void Token(int client, const QString &token);
    void Complete();
    QString ErrorString() const { return m_error; }

    // The journal of the results folder. False with the reason: none there,
    // a link, too large, not a journal, or one of a newer console (named).
    static bool Read(const QString &resultsFolder, Contents &contents, QString &problem);
    // Whether the engine process of `contents` is still there.
    static bool EngineAlive(const Contents &contents);

private:
    void write(const QByteArray &line);

    QFile m_file;
    QString m_error;
};
