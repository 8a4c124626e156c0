#include "cli/modCommandLine.h"

#include "common/modFormat.h"
#include "network/modNetwork.h"

#include <QTextStream>

namespace modCommandLine {

bool IsHelp(const QString &token)
{
    return token == QLatin1String("/?") || token == QLatin1String("-?") || token == QLatin1String("-h") || token == QLatin1String("--help");
}

int Fail(QTextStream &err, const QString &text)
{
    err << "ERROR: " << text << '\n';
    err.flush();
    return Failed;
}

QString ListenerAddress(const std::optional<QString> &given, QString &problem)
{
    if (given) {
        if (modFormat::IsValidIPAddress(*given))
            return *given;
        problem = QStringLiteral("\"%1\" is not a dotted IPv4 address.").arg(*given);
        return QString();
    }
    // Never the loopback address: a client told to call it would call itself.
    const QString address = modNetwork::GetListenerIP();
    if (address.isEmpty())
        problem
            = QStringLiteral("This machine has no IPv4 address (other than loopback) that clients could call; name one with --listener.");
    return address;
}

} // namespace modCommandLine
