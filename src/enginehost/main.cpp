#include "common/ConsoleCertificate.h"
#include "engine/modEngineLink.h"
#include "enginehost/ClientListener.h"
#include "enginehost/EngineSession.h"
#include "enginehost/SshDeliveryPlan.h"
#include "enginehost/TransferorWorker.h"
#include "enginehost/modOpenFiles.h"

#include <QCoreApplication>
#include <QJsonObject>

#include <cstdio>
#include <cstring>

// varno-osk-engine --link SOCKET        one run, for the console that listens on SOCKET
// varno-osk-engine --transferor N --log FILE   a transferor of a run (started by the engine)
// varno-osk-engine --version
int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("varno-osk-engine %s\n", VO_VERSION_STRING);
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--transferor") == 0 && std::strcmp(argv[3], "--log") == 0) {
        QCoreApplication application(argc, argv);
        TransferorWorker worker(std::atoi(argv[2]), QString::fromLocal8Bit(argv[4]));
        return worker.exec(stdin, stdout);
    }
    if (argc == 3 && std::strcmp(argv[1], "--link") == 0) {
        // Qt's own event loop instead of GLib's, on every thread: GLib keeps
        // a socket's notifiers in lists it searches, so the listener with
        // 10,000 clients spent a third of its time there and read half as
        // many reports a second.
        qputenv("QT_NO_GLIB", "1");
        QCoreApplication application(argc, argv);
        EngineSession::Parts parts;
        parts.transferorProgram = QCoreApplication::applicationFilePath();
        parts.plan = [](const QJsonObject &settings) { return std::make_unique<SshDeliveryPlan>(settings); };
        modOpenFiles::RaiseLimit();
        parts.channel = [](const QJsonObject &settings) -> std::unique_ptr<ClientChannel> {
            ConsoleCertificate::Pair pair;
            QString problem;
            if (!ConsoleCertificate().Load(pair, problem)) {
                std::fprintf(stderr, "varno-osk-engine: the console certificate: %s\n", qPrintable(problem));
                return nullptr;
            }
            QString mode = settings.value(QStringLiteral("Mode")).toString();
            if (mode.isEmpty())
                mode = QString::fromLatin1(modEngineLink::ModeCheck);
            return std::make_unique<ClientListener>(std::move(pair), mode);
        };
        EngineSession session(std::move(parts));
        QObject::connect(&session, &EngineSession::finished, &application, &QCoreApplication::quit, Qt::QueuedConnection);
        if (!session.connectTo(QString::fromLocal8Bit(argv[2]))) {
            std::fprintf(stderr, "varno-osk-engine: cannot reach the console at %s\n", argv[2]);
            return 1;
        }
        return application.exec();
    }
    std::fprintf(stderr, "usage: varno-osk-engine --link SOCKET | --transferor N --log FILE | --version\n");
    return 2;
}
