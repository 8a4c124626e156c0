#include "common/modGeneral.h"

#include "common/AppState.h"
#include "common/ConsoleConfig.h"
#include "common/modFormat.h"
#include "common/modRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace modGeneral {

NodeInfo ParseNodeKey(const QString &key)
{
    NodeInfo info;
    if (key.size() < 2)
        return info;
    bool numeric = false;
    const int id = key.mid(1).toInt(&numeric);
    if (!numeric)
        return info;
    const QChar kind = key.at(0);
    if (kind == QLatin1Char('F'))
        info.Type = NodeInfo::Folder;
    else if (kind == QLatin1Char('C'))
        info.Type = NodeInfo::Computer;
    else
        return info;
    info.ID = id;
    info.Valid = id >= -1;
    if (!info.Valid)
        info.Type = NodeInfo::None;
    return info;
}

} // namespace modGeneral

namespace modGeneral {

QString ProgramFolder()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
}

QString ClientFolder()
{
    const QString own = ProgramFolder();
    if (QFileInfo(own + QStringLiteral("/varno-osk-client")).isFile())
        return own;
    return QStringLiteral(VO_CLIENT_INSTALL_DIR);
}

QString DefaultLogRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/varno-osk/Log/");
}

QString GetLogRoot()
{
    QString root = ConsoleConfig().Text(ConsoleConfig::LogPath);
    if (!modFormat::IsValidLocalPath(root, true))
        root = DefaultLogRoot();
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root;
}

QString GetLogPath(const QString &jobName)
{
    return GetLogRoot() + jobName + QLatin1Char('/');
}

QString GetLogPath()
{
    return GetLogPath(AppState::Get().CurrentJobName);
}

bool FolderHoldsFiles(const QString &folder)
{
    const QDir dir(folder);
    if (!dir.exists())
        return false;
    return !dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).isEmpty();
}

QString NextFreeJobName(const QString &base)
{
    QString candidate = base;
    for (int number = 2; FolderHoldsFiles(GetLogPath(candidate)); ++number)
        candidate = base + QLatin1Char(' ') + QString::number(number);
    return candidate;
}

QString GetNextMigJobName(const QString &currentJobName)
{
    if (!currentJobName.isEmpty() && !FolderHoldsFiles(GetLogPath(currentJobName)))
        return currentJobName;

    static const QRegularExpression numbered(QStringLiteral("^Migration(\\d+)$"));
    qint64 counter = 0;
    const QRegularExpressionMatch match = numbered.match(currentJobName);
    if (match.hasMatch())
        counter = match.captured(1).toLongLong();

    const QString root = GetLogRoot();
    QString candidate;
    do {
        ++counter;
        candidate = QStringLiteral("Migration") + QString::number(counter);
    } while (FolderHoldsFiles(root + candidate + QLatin1Char('/')));
    return candidate;
}

std::optional<ClientLogName> ParseClientLogName(const QString &fileName)
{
    constexpr qsizetype StampLength = 14;
    const QLatin1StringView suffix(".log");
    const qsizetype tail = 1 + StampLength + suffix.size();
    if (fileName.size() <= tail || !fileName.endsWith(suffix, Qt::CaseInsensitive))
        return std::nullopt;
    const qsizetype dash = fileName.size() - tail;
    if (fileName.at(dash) != QLatin1Char('-'))
        return std::nullopt;
    const QString stamp = fileName.mid(dash + 1, StampLength);
    for (const QChar c : stamp) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return ClientLogName {fileName.left(dash), stamp};
}

} // namespace modGeneral
