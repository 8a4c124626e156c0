#pragma once

#include "engine/modEngineLink.h"
#include "enginehost/TransferorTask.h"

#include <QList>
#include <QObject>
#include <QQueue>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class QProcess;

// The engine's transferors: at most `size` worker processes, each serving
// one task at a time. A task waits in the queue until a transferor is free;
// one that finishes takes the next queued task at once. A transferor that
// dies is replaced, and the task it had is tried once more; when it dies
// again the task ends with `workerDied`.
//
// Transferors start when the first task needs them, so a run of two
// clients never starts thirty-two processes.
class TransferorPool final : public QObject
{
    Q_OBJECT

public:
    // `program` and `arguments` start one transferor; "%1" in an argument
    // stands for its number (1 to size), as in the transferor log's name.
    TransferorPool(const QString &program, const QStringList &arguments, int size, QObject *parent = nullptr);
    ~TransferorPool() override;

    void submit(const TransferorTask &task);
    // Drops a queued task; false when it is not waiting any more.
    bool withdraw(int taskId);
    // Ends the transferor that runs this task; its outcome then says workerDied.
    void stop(int taskId);

    int size() const { return int(m_workers.size()); }
    int busy() const;
    int queued() const { return int(m_queue.size()); }
    // The most transferors that ever had a task at the same time.
    int mostBusy() const { return m_mostBusy; }

Q_SIGNALS:
    // A transferor took the task (again, after one died: the retry).
    void taken(int taskId, int client);
    void finished(const TransferorOutcome &outcome);

private:
    struct Worker
    {
        int number = 0;
        std::unique_ptr<QProcess> process;
        modEngineLink::LineReader reader;
        std::optional<TransferorTask> task;
        bool retried = false;
        bool stopping = false;
    };

    void dispatch();
    void start(Worker &worker);
    void onOutput(Worker &worker);
    void onEnded(Worker &worker);

    QString m_program;
    QStringList m_arguments;
    std::vector<std::unique_ptr<Worker>> m_workers;
    QQueue<std::pair<TransferorTask, bool>> m_queue; // task, already retried
    int m_mostBusy = 0;
    bool m_closing = false;
};
