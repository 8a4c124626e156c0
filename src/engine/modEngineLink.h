#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

class QIODevice;

// What the console and its engine program say to each other over their
// local socket: one JSON object a line. The console sends the run's settings
// ("settings"), the job ("start", naming the job file it wrote), and the
// administrator's commands ("cancel", "abort", "cancelAll", "abortAll",
// "log", "end"); the engine answers with the events of a run ("status",
// "success", "finding", "error", "last", "complete", "test").
//
// Many events that happen together leave the engine in one write, and the
// console takes every whole line a read brings before it returns to its
// event loop, so a burst of statuses costs one turn of the loop.
namespace modEngineLink {

// A line longer than this is not one the other side wrote; the link drops.
constexpr qsizetype MaxLineBytes = qsizetype(1) << 20;

QByteArray Encode(const QJsonObject &message);

// Collects the whole lines that have arrived on a device.
class LineReader
{
public:
    // Appends the messages now complete to `messages`. False, with the
    // reason in `problem`, for a line over MaxLineBytes or one that is not a
    // JSON object; the link is then not to be trusted further.
    bool read(QIODevice &device, QList<QJsonObject> &messages, QString &problem);

private:
    QByteArray m_partial;
};

// One client of the job, as the console writes it into the job file (one
// line each) and the engine reads it back: what a transferor needs to reach
// the computer and the files it copies there.
struct JobClient
{
    int number = 0;
    QString name;
    QString login; // the Varno service account, which ssh logs in as
    QList<QPair<QString, QByteArray>> files; // name, content
    int wave = 0; // 1 for the job's first wave, ...; 0 for none
    bool askFirst = false; // ask the client how it stands before delivering
};

QJsonObject EncodeJobClient(const JobClient &client);
bool DecodeJobClient(const QJsonObject &message, JobClient &client, QString &problem);

// One wave of the job, in the run's settings ("Waves", a list in run order).
struct JobWave
{
    QString name;
    QDateTime notBefore; // UTC; invalid: at once
    int concurrency = 0; // computers in progress at a time; 0: no cap of its own
    int failurePercent = -1; // stop when more than this share failed; -1: never
};

QJsonArray EncodeWaves(const QList<JobWave> &waves);
// False for a list that is not one of waves (a name missing, a number out of range).
bool DecodeWaves(const QJsonArray &list, QList<JobWave> &waves, QString &problem);

// The engine program's modes: a run that checks the clients, one that
// migrates them, one that reverses an earlier migration, and one that removes
// its journals.
inline constexpr char ModeCheck[] = "check";
inline constexpr char ModeMigrate[] = "migrate";
inline constexpr char ModeRollback[] = "rollback";
inline constexpr char ModeForget[] = "forget";

} // namespace modEngineLink
