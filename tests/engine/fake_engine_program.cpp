// Stands in for varno-osk-engine on the console's link: it reads the
// settings and the job, and answers as FAKE_ENGINE says: "complete" (every
// client checked, then the end), "vanish" (gone after the first statuses)
// or "wait" (until the console cancels or aborts all).
#include "engine/modEngineLink.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QLocalSocket>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QByteArray behaviour = qgetenv("FAKE_ENGINE");
    QLocalSocket link;
    link.connectToServer(QString::fromLocal8Bit(argv[2]));
    if (!link.waitForConnected(5000)) {
        qWarning("fake engine: cannot connect to %s", argv[2]);
        return 1;
    }
    modEngineLink::LineReader reader;
    QList<modEngineLink::JobClient> clients;
    const auto send = [&](const QList<QJsonObject> &events) {
        QByteArray batch;
        for (const QJsonObject &event : events)
            batch += modEngineLink::Encode(event);
        link.write(batch);
        link.waitForBytesWritten(5000);
    };
    const auto status = [](int n, const char *code) {
        return QJsonObject {{"e", "status"}, {"n", n}, {"code", code}};
    };
    while (link.waitForReadyRead(10'000)) {
        QList<QJsonObject> messages;
        QString problem;
        if (!reader.read(link, messages, problem)) {
            qWarning("fake engine: %s", qPrintable(problem));
            return 2;
        }
        for (const QJsonObject &message : messages) {
            const QString op = message.value("op").toString();
            if (op == "start") {
                QFile job(message.value("job").toString());
                QList<QJsonObject> lines;
                if (!job.open(QIODevice::ReadOnly) || !reader.read(job, lines, problem)) {
                    qWarning("fake engine: job unreadable: %s", qPrintable(problem));
                    return 3;
                }
                QList<QJsonObject> events;
                for (const QJsonObject &line : lines) {
                    modEngineLink::JobClient client;
                    modEngineLink::DecodeJobClient(line, client, problem);
                    clients.append(client);
                    events << status(client.number, "L") << status(client.number, "CL");
                    const QString seen = client.name + "/" + client.login + "/" + client.files.value(0).first + "/"
                        + QString::number(client.files.value(0).second.size());
                    events << QJsonObject {{"e", "finding"}, {"n", client.number}, {"code", 1007}, {"text", seen}};
                }
                send(events);
                if (behaviour == "vanish")
                    return 0;
                if (behaviour == "complete") {
                    events.clear();
                    for (const modEngineLink::JobClient &client : clients)
                        events << status(client.number, "XS");
                    send(events << QJsonObject {{"e", "complete"}});
                }
            } else if (op == "cancelAll" || op == "abortAll") {
                QList<QJsonObject> events;
                for (const modEngineLink::JobClient &client : clients)
                    events << status(client.number, op == "cancelAll" ? "XC" : "XA");
                send(events << QJsonObject {{"e", "complete"}});
            } else if (op == "end") {
                return 0;
            }
        }
    }
    return 0;
}
