#include "engine/EngineJournal.h"

#include "common/PrivateFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const QString EngineJournal::FileName = QStringLiteral("engine.journal");

namespace {
const QString kFormat = QStringLiteral("varno-osk-engine-journal");
}

bool EngineJournal::Open(PrivateFolder &folder, const Contents &header)
{
    if (!folder.OpenFile(m_file, FileName, QIODevice::WriteOnly)) {
        m_error = folder.ErrorString();
        return false;
    }
    const QJsonObject first {{QStringLiteral("format"), kFormat}, {QStringLiteral("version"), Version},
        {QStringLiteral("run"), header.run}, {QStringLiteral("mode"), header.mode}, {QStringLiteral("pid"), header.pid},
        {QStringLiteral("attach"), header.attach}, {QStringLiteral("started"), header.started.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("clients"), QJsonArray::fromStringList(header.clients)}};
    write(QJsonDocument(first).toJson(QJsonDocument::Compact));
    return m_file.error() == QFileDevice::NoError;
}

void EngineJournal::write(const QByteArray &line)
{
    if (!m_file.isOpen())
        return;
    m_file.write(line + '\n');
    m_file.flush();
}

void EngineJournal::Status(int client, const QString &code)
{
    write(QJsonDocument(QJsonObject {{QStringLiteral("n"), client}, {QStringLiteral("s"), code}}).toJson(QJsonDocument::Compact));
}

void EngineJournal::Token(int client, const QString &token)
{
    const QByteArray hash = QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toHex();
    write(QJsonDocument(QJsonObject {{QStringLiteral("n"), client}, {QStringLiteral("t"), QString::fromLatin1(hash)}})
              .toJson(QJsonDocument::Compact));
}

void EngineJournal::Complete()
{
    write(QJsonDocument(QJsonObject {{QStringLiteral("end"), true}}).toJson(QJsonDocument::Compact));
    m_file.close();
}

bool EngineJournal::Read(const QString &resultsFolder, Contents &contents, QString &problem)
{
    contents = {};
    const QString path = QDir(resultsFolder).filePath(FileName);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        problem = errno == ELOOP ? QStringLiteral("\"%1\" is a link; it is not read.").arg(QDir::toNativeSeparators(path))
                                 : QStringLiteral("\"%1\" holds no engine journal.").arg(QDir::toNativeSeparators(resultsFolder));
        return false;
    }
    QFile file;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > MaxBytes
        || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        problem = QStringLiteral("\"%1\" is not an engine journal of this console.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    // What the journal held when it was looked at; lines the engine adds
    // meanwhile are for the next read. (A line read with a bound allocates
    // the bound at once, which for each of many lines is far too slow.)
    const QByteArray text = file.read(info.st_size);
    bool first = true;
    for (const QByteArray &line : text.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QJsonObject entry = QJsonDocument::fromJson(line).object();
        if (first) {
            first = false;
            contents.version = entry.value(QStringLiteral("version")).toInt();
            if (entry.value(QStringLiteral("format")).toString() != kFormat || contents.version < 1) {
                problem = QStringLiteral("\"%1\" is not an engine journal of this console.").arg(QDir::toNativeSeparators(path));
                return false;
            }
            if (contents.version > Version) {
                problem = QStringLiteral("\"%1\" was written by a newer console (journal version %2; this console reads version %3).")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(contents.version)
                              .arg(Version);
                return false;
            }
            contents.run = entry.value(QStringLiteral("run")).toString();
            contents.mode = entry.value(QStringLiteral("mode")).toString();
            contents.pid = entry.value(QStringLiteral("pid")).toInteger();
            contents.attach = entry.value(QStringLiteral("attach")).toString();
            contents.started = QDateTime::fromString(entry.value(QStringLiteral("started")).toString(), Qt::ISODate);
            for (const QJsonValue &name : entry.value(QStringLiteral("clients")).toArray())
                contents.clients.append(name.toString());
            continue;
        }
        if (entry.value(QStringLiteral("end")).toBool()) {
            contents.complete = true;
            continue;
        }
        // A line cut short by a crash is the journal's last; it is left out.
        const int n = entry.value(QStringLiteral("n")).toInt();
        if (n < 1 || n > contents.clients.size())
            continue;
        if (entry.contains(QStringLiteral("s")))
            contents.statuses.insert(n, entry.value(QStringLiteral("s")).toString());
        else if (entry.contains(QStringLiteral("t")))
            contents.tokenHashes.insert(n, entry.value(QStringLiteral("t")).toString());
    }
    if (first) {
        problem = QStringLiteral("\"%1\" is empty.").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return true;
}

bool EngineJournal::EngineAlive(const Contents &contents)
{
    if (contents.pid <= 1 || contents.pid > INT32_MAX)
        return false;
    return ::kill(pid_t(contents.pid), 0) == 0 || errno == EPERM;
}
