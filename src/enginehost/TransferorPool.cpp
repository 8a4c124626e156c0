#include "enginehost/TransferorPool.h"

#include "enginehost/modTransferorWire.h"

#include <QProcess>

TransferorPool::TransferorPool(const QString &program, const QStringList &arguments, int size, QObject *parent)
    : QObject(parent)
    , m_program(program)
    , m_arguments(arguments)
{
    for (int number = 1; number <= qMax(1, size); ++number) {
        auto worker = std::make_unique<Worker>();
        worker->number = number;
        m_workers.push_back(std::move(worker));
    }
}

TransferorPool::~TransferorPool()
{
    m_closing = true;
    for (const auto &worker : m_workers) {
        if (!worker->process)
            continue;
        worker->process->disconnect(this);
        worker->process->closeWriteChannel();
        if (!worker->process->waitForFinished(2000)) {
            worker->process->kill();
            worker->process->waitForFinished(2000);
        }
    }
}

int TransferorPool::busy() const
{
    int count = 0;
    for (const auto &worker : m_workers)
        count += worker->task ? 1 : 0;
    return count;
}

void TransferorPool::submit(const TransferorTask &task)
{
    m_queue.enqueue({task, false});
    dispatch();
}

bool TransferorPool::withdraw(int taskId)
{
    for (qsizetype i = 0; i < m_queue.size(); ++i) {
        if (m_queue.at(i).first.id == taskId) {
            m_queue.removeAt(i);
            return true;
        }
    }
    return false;
}

void TransferorPool::stop(int taskId)
{
    for (const auto &worker : m_workers) {
        if (worker->task && worker->task->id == taskId && worker->process) {
            worker->stopping = true;
            worker->process->kill();
        }
    }
}

void TransferorPool::dispatch()
{
    for (const auto &worker : m_workers) {
        if (m_queue.isEmpty())
            break;
        if (worker->task)
            continue;
        if (!worker->process || worker->process->state() == QProcess::NotRunning)
            start(*worker);
        auto [task, retried] = m_queue.dequeue();
        worker->retried = retried;
        worker->task = task;
        worker->process->write(modEngineLink::Encode(modTransferorWire::EncodeTask(task)));
        Q_EMIT taken(task.id, task.client);
    }
    m_mostBusy = qMax(m_mostBusy, busy());
}

void TransferorPool::start(Worker &worker)
{
    QStringList arguments;
    for (const QString &argument : m_arguments)
        arguments.append(argument.contains(QLatin1String("%1")) ? argument.arg(worker.number) : argument);
    if (worker.process) {
        // Possibly inside one of that process's own signals: let it go later.
        worker.process->disconnect(this);
        worker.process.release()->deleteLater();
    }
    worker.process = std::make_unique<QProcess>();
    worker.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    worker.reader = {};
    connect(worker.process.get(), &QProcess::readyReadStandardOutput, this, [this, &worker] {
        onOutput(worker);
        dispatch();
    });
    connect(worker.process.get(), &QProcess::finished, this, [this, &worker] { onEnded(worker); });
    connect(worker.process.get(), &QProcess::errorOccurred, this, [this, &worker](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onEnded(worker);
    });
    worker.process->start(m_program, arguments);
}

void TransferorPool::onOutput(Worker &worker)
{
    QList<QJsonObject> messages;
    QString problem;
    const bool good = worker.reader.read(*worker.process, messages, problem);
    for (const QJsonObject &message : std::as_const(messages)) {
        TransferorOutcome outcome;
        if (!worker.task || !modTransferorWire::DecodeOutcome(message, outcome) || outcome.id != worker.task->id)
            continue;
        worker.task.reset();
        Q_EMIT finished(outcome);
    }
    if (!good)
        worker.process->kill();
}

void TransferorPool::onEnded(Worker &worker)
{
    if (m_closing)
        return;
    if (worker.process)
        onOutput(worker);
    std::optional<TransferorTask> task = std::move(worker.task);
    worker.task.reset();
    if (worker.process) {
        worker.process->disconnect(this);
        worker.process.release()->deleteLater();
    }
    if (task) {
        if (!worker.retried && !worker.stopping) {
            m_queue.prepend({*task, true});
        } else {
            TransferorOutcome outcome;
            outcome.id = task->id;
            outcome.client = task->client;
            outcome.workerDied = true;
            Q_EMIT finished(outcome);
        }
    }
    worker.stopping = false;
    dispatch();
}
