#include "common/ConsoleCertificate.h"
#include "common/modGeneral.h"
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
namespace {

void usage(std::FILE *to)
{
    std::fprintf(to,
        "Usage: varno-osk-engine --link SOCKET | --transferor N --log FILE | --version\n"
        "\n"
        "The Varno-Osk migration engine. The console and vo start it for a run\n"
        "and talk to it on the socket; it is not meant to be started by hand.\n"
        "It reaches every client with OpenSSH's ssh and scp, copies the client\n"
        "service there from SourcePath and starts it, and takes the clients'\n"
        "reports on its TLS listener.\n"
        "\n"
        "Options:\n"
        "  --link SOCKET         one run, for the console listening on SOCKET\n"
        "  --transferor N --log FILE\n"
        "                        transferor N of a run (the engine starts them)\n"
        "  -h, --help            this text\n"
        "  --version             the version of Varno-Osk\n"
        "\n"
        "Files:\n"
        "  %s/varno-osk-client\n"
        "                        the client service it copies (SourcePath's default)\n"
        "  %s\n"
        "                        a client service installed on a client by the\n"
        "                        varno-osk-client package, used instead when it is\n"
        "                        of the same version\n",
        qPrintable(modGeneral::ClientFolder()), VO_CLIENT_PROGRAM_INSTALLED);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        usage(stdout);
        return 0;
    }
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
    usage(stderr);
    return 2;
}
