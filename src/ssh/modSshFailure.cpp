#include "ssh/modSshFailure.h"

#include "protocol/modFindings.h"

#include <QStringList>

namespace modSshFailure {

namespace {

// A line of ssh's own: the remote command's complaints ("mkdir: ...:
// Permission denied") must not pass for a refused login, so each text comes
// with the words ssh puts beside it.
struct Pattern
{
    const char *text;
    const char *beside; // also on the line, or nullptr
    int code;
};

// The changed key comes first: its warning ends in "Host key verification failed" too.
const Pattern kPatterns[] = {
    {"has changed and you have requested strict checking", nullptr, modFindings::HostKeyChanged},
    {"REMOTE HOST IDENTIFICATION HAS CHANGED", nullptr, modFindings::HostKeyChanged},
    {"host key is known for", nullptr, modFindings::HostKeyUnknown},
    {"Host key verification failed", nullptr, modFindings::HostKeyUnknown},
    {"Could not resolve hostname", nullptr, modFindings::NameDoesNotResolve},
    {"Connection refused", "connect to host", modFindings::ConnectionRefused},
    {"Connection timed out", nullptr, modFindings::ConnectionTimedOut},
    {"No route to host", "connect to host", modFindings::ConnectionTimedOut},
    {"Network is unreachable", "connect to host", modFindings::ConnectionTimedOut},
    {"Permission denied (", nullptr, modFindings::LoginRefused},
    {"Too many authentication failures", nullptr, modFindings::LoginRefused},
};

QString clean(const QString &line)
{
    return QString(line).remove(QLatin1Char('@')).trimmed();
}

} // namespace

int Classify(int exitCode, const QByteArray &error, QString &reason)
{
    const QStringList lines = QString::fromUtf8(error).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const Pattern &pattern : kPatterns) {
        for (const QString &line : lines) {
            if (line.contains(QLatin1String(pattern.text)) && (pattern.beside == nullptr || line.contains(QLatin1String(pattern.beside)))) {
                reason = clean(line);
                return pattern.code;
            }
        }
    }
    if (exitCode != 255)
        return 0;
    reason = QStringLiteral("ssh ended with status 255");
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        if (!clean(lines[i]).isEmpty()) {
            reason = clean(lines[i]);
            break;
        }
    }
    return modFindings::SshFailed;
}

} // namespace modSshFailure
