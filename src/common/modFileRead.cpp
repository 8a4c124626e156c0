#include "common/modFileRead.h"

#include <QFile>
#include <QFileInfo>

namespace modFileRead {

QString SizeText(qint64 bytes)
{
    if (bytes >= (qint64(1) << 20) && bytes % (qint64(1) << 20) == 0)
        return QStringLiteral("%1 MB").arg(bytes >> 20);
    if (bytes >= 1024 && bytes % 1024 == 0)
        return QStringLiteral("%1 KB").arg(bytes >> 10);
    return QStringLiteral("%1 bytes").arg(bytes);
}

namespace {

QString tooLarge(qint64 limit)
{
    return QStringLiteral("it is larger than %1, more than such a file can hold").arg(SizeText(limit));
}

} // namespace

QString Refusal(const QString &path, qint64 limit)
{
    // Follows links: a link to a regular file is one.
    const QFileInfo info(path);
    if (!info.exists())
        return QString();
    if (!info.isFile())
        return QStringLiteral("it is not a regular file (a folder, a device or a pipe)");
    if (info.size() > limit)
        return tooLarge(limit);
    return QString();
}

std::optional<QByteArray> ReadAll(const QString &path, qint64 limit, QString &problem)
{
    problem = Refusal(path, limit);
    if (!problem.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        problem = file.errorString();
        return std::nullopt;
    }
    // One byte more than allowed tells a file that grew since the check.
    QByteArray bytes = file.read(limit + 1);
    if (file.error() != QFileDevice::NoError) {
        problem = file.errorString();
        return std::nullopt;
    }
    if (bytes.size() > limit) {
        problem = tooLarge(limit);
        return std::nullopt;
    }
    return bytes;
}

} // namespace modFileRead
