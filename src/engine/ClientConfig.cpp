#include "engine/ClientConfig.h"

const QString ClientConfig::Version = QStringLiteral("00002");

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

bool ClientConfig::IsPasswordKey(const QString &key)
{
    static const QStringList passwords = {QStringLiteral("VARNOPASS="), QStringLiteral("OSKPASS="), QStringLiteral("DESTSIDPASS="),
        QStringLiteral("JOINDOMPASS="), QStringLiteral("SOURCESIDPASS=")};
    return passwords.contains(key);
}

const QStringList &ClientConfig::Keys()
{
    static const QStringList keys = {
        QStringLiteral("VERSION="),
        QStringLiteral("CONSOLEIP="),
        QStringLiteral("CONSOLEPORT="),
        QStringLiteral("VARNOUSER="),
        QStringLiteral("VARNOPASS="),
        QStringLiteral("VARNODOM="),
        QStringLiteral("OSKUSER="),
        QStringLiteral("OSKPASS="),
        QStringLiteral("OSKDOM="),
        QStringLiteral("COMPUTERNAME="),
        QStringLiteral("DESTUSER="),
        QStringLiteral("DESTUSERDOM="),
        QStringLiteral("FORCEREBOOT="),
        QStringLiteral("KEY="),
        QStringLiteral("MINFREESPACE="),
        QStringLiteral("PROFILEACTIONS="),
        QStringLiteral("REBOOTPERM="),
        QStringLiteral("DESTDCIP="),
        QStringLiteral("DESTDCNAME="),
        QStringLiteral("DESTSIDUSER="),
        QStringLiteral("DESTSIDPASS="),
        QStringLiteral("JOINDOMAIN="),
        QStringLiteral("JOINDOMDCNAME="),
        QStringLiteral("JOINDOMDCIP="),
        QStringLiteral("JOINDOMUSER="),
        QStringLiteral("JOINDOMPASS="),
        QStringLiteral("JOINWORKGROUP="),
        QStringLiteral("REMOVEDESTPROFILE="),
        QStringLiteral("SOURCEDCIP="),
        QStringLiteral("SOURCEDCNAME="),
        QStringLiteral("SOURCESID="),
        QStringLiteral("SOURCESIDUSER="),
        QStringLiteral("SOURCESIDPASS="),
        QStringLiteral("SOURCEUSER="),
        QStringLiteral("SOURCEUSERDOM="),
    };
    return keys;
}

QString ClientConfig::Compose(const QStringList &values)
{
    const QStringList &keys = Keys();
    QString text;
    for (qsizetype i = 0; i < keys.size(); ++i)
        text += keys.at(i) + values.value(i) + kCrLf;
    return text;
}

bool ClientConfig::Parse(const QString &text, QString *problem)
{
    auto fail = [&](const QString &reason) {
        if (problem)
            *problem = reason;
        return false;
    };
    m_entries.clear();

    const QStringList &keys = Keys();
    qsizetype pos = 0;
    for (qsizetype line = 0; line < keys.size(); ++line) {
        const QString &key = keys.at(line);
        const qsizetype end = text.indexOf(kCrLf, pos);
        if (end < 0) {
            if (pos >= text.size())
                return fail(QStringLiteral("The file ends after %1 of %2 entries; \"%3\" is missing.").arg(line).arg(keys.size()).arg(key));
            return fail(QStringLiteral("Line %1 is not ended by CR LF.").arg(line + 1));
        }
        const QString entry = text.mid(pos, end - pos);
        if (!entry.startsWith(key)) {
            const QString found = entry.section(QLatin1Char('='), 0, 0).left(40);
            return fail(QStringLiteral("Line %1 should start with \"%2\" but reads \"%3\".").arg(line + 1).arg(key, found));
        }
        m_entries.append({key, entry.mid(key.size())});
        pos = end + kCrLf.size();
    }
    if (pos != text.size())
        return fail(QStringLiteral("The file goes on after its %1 entries.").arg(keys.size()));
    if (m_entries.constFirst().second != Version)
        return fail(
            QStringLiteral("The file has version \"%1\"; this client reads version %2.").arg(m_entries.constFirst().second, Version));
    if (problem)
        problem->clear();
    return true;
}

QString ClientConfig::Value(const QString &key) const
{
    const QString wanted = key.endsWith(QLatin1Char('=')) ? key : key + QLatin1Char('=');
    for (const auto &entry : m_entries) {
        if (entry.first == wanted)
            return entry.second;
    }
    return QString();
}
