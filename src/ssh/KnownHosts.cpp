#include "ssh/KnownHosts.h"

#include "common/PrivateFolder.h"
#include "common/modFileRead.h"
#include "protocol/modFindings.h"
#include "ssh/ConsoleKey.h"
#include "ssh/modSshRun.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QMessageAuthenticationCode>

namespace {

constexpr qint64 kFileLimit = 16 * 1024 * 1024;

// "name TYPE BASE64 [comment]" split in its fields; markers (@revoked,
// @cert-authority) and comments give nothing.
QList<QByteArray> fields(const QByteArray &line)
{
    const QByteArray trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith('#') || trimmed.startsWith('@'))
        return {};
    QList<QByteArray> parts = trimmed.simplified().split(' ');
    return parts.size() >= 3 ? parts : QList<QByteArray> {};
}

// Whether the host field of a known-hosts line names `host`: one of its
// comma-separated names, or ssh's hashed form |1|salt|HMAC-SHA1(salt, host).
bool names(const QByteArray &field, const QByteArray &host)
{
    if (field.startsWith("|1|")) {
        const QList<QByteArray> parts = field.split('|');
        if (parts.size() != 4)
            return false;
        const QByteArray salt = QByteArray::fromBase64(parts[2]);
        return QMessageAuthenticationCode::hash(host, salt, QCryptographicHash::Sha1) == QByteArray::fromBase64(parts[3]);
    }
    return field.split(',').contains(host);
}

QByteArray keyOf(const QList<QByteArray> &parts)
{
    return parts[1] + ' ' + parts[2];
}

} // namespace

KnownHosts::KnownHosts(QString file, const SshClient &client)
    : m_file(std::move(file))
    , m_client(client)
{ }

QString KnownHosts::defaultFile()
{
    return ConsoleKey::defaultFolder() + QStringLiteral("/known_hosts");
}

bool KnownHosts::fail(int code, const QString &why)
{
    m_code = code;
    m_error = why;
    return false;
}

QString KnownHosts::fingerprint(const QByteArray &key)
{
    const QList<QByteArray> parts = key.split(' ');
    const QByteArray digest = QCryptographicHash::hash(QByteArray::fromBase64(parts.value(1)), QCryptographicHash::Sha256);
    return QString::fromLatin1(parts.value(0)) + QStringLiteral(" SHA256:")
        + QString::fromLatin1(digest.toBase64(QByteArray::OmitTrailingEquals));
}

bool KnownHosts::scan(const QString &name, Scan &scan)
{
    SshClient::Target target;
    QString why;
    if (!m_client.resolve(name, {}, target, why))
        return fail(modFindings::NameDoesNotResolve, why);
    scan = Scan {name, target.hostName, target.port, {}, {}};
    const int timeout = m_client.options().connectTimeout;
    const modSshRun::Result result
        = modSshRun::Run({QStringLiteral("ssh-keyscan"), QStringLiteral("-p"), QString::number(target.port), QStringLiteral("-T"),
                             QString::number(timeout), QStringLiteral("--"), target.hostName},
            SshClient::environment(), {}, (timeout + 5) * 1000);
    for (const QByteArray &line : result.output.split('\n')) {
        const QList<QByteArray> parts = fields(line);
        if (!parts.isEmpty() && !scan.keys.contains(keyOf(parts)))
            scan.keys << keyOf(parts);
    }
    if (scan.keys.isEmpty()) {
        const QString said = QString::fromUtf8(result.error).trimmed();
        return fail(said.contains(QLatin1String("Name or service not known")) ? modFindings::NameDoesNotResolve : modFindings::SshFailed,
            QStringLiteral("%1 (%2 port %3) showed no host key%4")
                .arg(name, target.hostName, QString::number(target.port),
                    said.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + said.section(QLatin1Char('\n'), -1)));
    }
    for (const QByteArray &key : scan.keys)
        scan.fingerprints << fingerprint(key);
    return true;
}

bool KnownHosts::importFrom(const QString &from, const QString &name, Scan &scan)
{
    SshClient::Target target;
    QString why;
    if (!m_client.resolve(name, {}, target, why))
        return fail(modFindings::NameDoesNotResolve, why);
    scan = Scan {name, target.hostName, target.port, {}, {}};
    const auto text = modFileRead::ReadAll(from, kFileLimit, why);
    if (!text)
        return fail(modFindings::SshFailed, QStringLiteral("%1 cannot be read: %2").arg(from, why));
    const QByteArray address
        = target.port == 22 ? target.hostName.toUtf8() : "[" + target.hostName.toUtf8() + "]:" + QByteArray::number(target.port);
    for (const QByteArray &line : text->split('\n')) {
        const QList<QByteArray> parts = fields(line);
        if (!parts.isEmpty() && (names(parts[0], name.toUtf8()) || names(parts[0], address)) && !scan.keys.contains(keyOf(parts))) {
            scan.keys << keyOf(parts);
            scan.fingerprints << fingerprint(keyOf(parts));
        }
    }
    if (scan.keys.isEmpty())
        return fail(modFindings::HostKeyUnknown, QStringLiteral("%1 has no key for %2 (%3).").arg(from, name, QString::fromUtf8(address)));
    return true;
}

bool KnownHosts::load(QList<QByteArray> &lines)
{
    lines.clear();
    if (!QFileInfo::exists(m_file))
        return true;
    QString why;
    const auto text = modFileRead::ReadAll(m_file, kFileLimit, why);
    if (!text)
        return fail(modFindings::SshFailed, QStringLiteral("%1 cannot be read: %2").arg(m_file, why));
    lines = text->split('\n');
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    return true;
}

KnownHosts::Verdict KnownHosts::compare(const Scan &scan)
{
    QList<QByteArray> lines;
    if (!load(lines))
        return Verdict::New;
    bool any = false;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> parts = fields(line);
        if (parts.isEmpty() || !names(parts[0], scan.name.toUtf8()))
            continue;
        any = true;
        // ssh accepts the connection when any recorded key of the type it
        // negotiates matches; a recorded type the server no longer shows is
        // a changed key all the same.
        if (!scan.keys.contains(keyOf(parts)))
            return Verdict::Changed;
    }
    return any ? Verdict::Known : Verdict::New;
}

bool KnownHosts::record(const Scan &scan, bool replace)
{
    if (!SshClient::isPlainName(scan.name))
        return fail(modFindings::SshFailed, QStringLiteral("\"%1\" is not a computer name ssh can be given.").arg(scan.name));
    const Verdict verdict = compare(scan);
    if (verdict == Verdict::Changed && !replace)
        return fail(modFindings::HostKeyChanged,
            QStringLiteral("The host key of %1 has changed; it is replaced only when asked to (--replace %1).").arg(scan.name));
    QList<QByteArray> lines;
    if (!load(lines))
        return false;
    QByteArray text;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> parts = fields(line);
        if (!parts.isEmpty() && names(parts[0], scan.name.toUtf8()))
            continue;
        text += line + '\n';
    }
    for (const QByteArray &key : scan.keys)
        text += scan.name.toUtf8() + ' ' + key + '\n';
    const QFileInfo info(m_file);
    PrivateFolder folder;
    if (!folder.Open(info.absolutePath()) || !folder.Replace(info.fileName(), text))
        return fail(modFindings::SshFailed, folder.ErrorString());
    return true;
}
