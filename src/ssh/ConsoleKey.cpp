#include "ssh/ConsoleKey.h"

#include "common/PrivateFolder.h"
#include "common/modFileRead.h"
#include "ssh/SshClient.h"
#include "ssh/modSshRun.h"

#include <QStandardPaths>

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

const QString kKeyName = QStringLiteral("console_ed25519");

bool isPlainFile(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const QString &path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

} // namespace

ConsoleKey::ConsoleKey(QString folder)
    : m_folder(folder.isEmpty() ? defaultFolder() : std::move(folder))
{ }

QString ConsoleKey::defaultFolder()
{
    const QByteArray redirected = qgetenv("VARNO_OSK_SSH_FOLDER");
    if (!redirected.isEmpty())
        return QString::fromLocal8Bit(redirected);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/varno-osk/ssh");
}

QString ConsoleKey::privateFile() const
{
    return m_folder + QLatin1Char('/') + kKeyName;
}

bool ConsoleKey::generate()
{
    PrivateFolder folder;
    if (!folder.Open(m_folder)) {
        m_error = folder.ErrorString();
        return false;
    }
    // ssh-keygen writes where it is told; a link there would point the
    // private key at another file.
    for (const QString &path : {privateFile(), privateFile() + QStringLiteral(".pub")}) {
        if (exists(path)) {
            m_error = QStringLiteral("%1 is in the way of the console's key.").arg(path);
            return false;
        }
    }
    const modSshRun::Result result = modSshRun::Run(
        {QStringLiteral("ssh-keygen"), QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"), QStringLiteral("-N"),
            QString(), QStringLiteral("-C"), QStringLiteral("varno-osk console"), QStringLiteral("-f"), privateFile()},
        SshClient::environment(), {}, 30000);
    if (result.exitCode != 0) {
        m_error = QStringLiteral("ssh-keygen could not make the console's key: %1").arg(QString::fromUtf8(result.error).trimmed());
        return false;
    }
    return true;
}

bool ConsoleKey::ensure()
{
    if (isPlainFile(privateFile()) && isPlainFile(privateFile() + QStringLiteral(".pub"))) {
        struct stat info
        {
        };
        if (::lstat(QFile::encodeName(privateFile()).constData(), &info) == 0 && (info.st_mode & 077) != 0) {
            m_error = QStringLiteral("The console's key %1 may be read by others; ssh refuses it.").arg(privateFile());
            return false;
        }
        return true;
    }
    return generate();
}

bool ConsoleKey::rotate()
{
    if (!ensure())
        return false;
    for (const QString &suffix : {QString(), QStringLiteral(".pub")}) {
        const QString from = privateFile() + suffix;
        const QString to = privateFile() + QStringLiteral(".old") + suffix;
        if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
            m_error = QStringLiteral("%1 could not be kept as %2: %3").arg(from, to, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    return generate();
}

QByteArray ConsoleKey::publicKey()
{
    if (!ensure())
        return {};
    QString problem;
    const auto text = modFileRead::ReadAll(privateFile() + QStringLiteral(".pub"), 16 * 1024, problem);
    if (!text) {
        m_error = QStringLiteral("%1 cannot be read: %2").arg(privateFile() + QStringLiteral(".pub"), problem);
        return {};
    }
    return text->trimmed();
}
