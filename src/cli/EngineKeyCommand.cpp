#include "cli/EngineKeyCommand.h"

#include "cli/modCommandLine.h"
#include "ssh/ConsoleKey.h"

#include <QTextStream>

EngineKeyCommand::EngineKeyCommand(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{ }

QString EngineKeyCommand::usage()
{
    return QStringLiteral("Usage: vo engine key [--rotate]\n"
                          "\n"
                          "Prints the public half of the console's own ssh key, which the engine logs\n"
                          "in to the clients with; the key pair is made on first use. Put the line in\n"
                          "~/.ssh/authorized_keys of the clients' login, best after\n"
                          "from=\"CONSOLE-ADDRESS\",restrict so that it serves the console only.\n"
                          "\n"
                          "  --rotate   make a new pair first; the old one is kept as console_ed25519.old\n");
}

int EngineKeyCommand::run(const QStringList &arguments)
{
    if (arguments.size() == 1 && modCommandLine::IsHelp(arguments.first())) {
        m_out << usage();
        return 0;
    }
    const bool rotate = arguments == QStringList {QStringLiteral("--rotate")};
    if (!arguments.isEmpty() && !rotate) {
        m_err << "ERROR: Invalid syntax.\n\n" << usage();
        return modCommandLine::Failed;
    }
    ConsoleKey key;
    if (rotate && !key.rotate())
        return modCommandLine::Fail(m_err, key.error());
    const QByteArray line = key.publicKey();
    if (line.isEmpty())
        return modCommandLine::Fail(m_err, key.error());
    m_out << line << '\n';
    return 0;
}
