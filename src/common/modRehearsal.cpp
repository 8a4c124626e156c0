#include "common/modRehearsal.h"

#include "common/ConsoleConfig.h"

namespace modRehearsal {

QString Word()
{
    return QStringLiteral("Rehearsal");
}

QString Label(const QString &text)
{
    return text + QStringLiteral(" [") + Word() + QLatin1Char(']');
}

QString FirstLine()
{
    return Word() + QStringLiteral(": the simulated engine plays this job; no computer is changed.");
}

QString LastLine()
{
    return Word() + QStringLiteral(" ended: no computer was migrated.");
}

QString SshFirstLine()
{
    return QStringLiteral("Migration on the ssh engine: the clients are reached over ssh and changed.");
}

QString NothingMigrated()
{
    return QStringLiteral("Those are the results of a rehearsal: no computer was migrated, so every computer is still to do.");
}

Choice Chosen()
{
    const QString engine = ConsoleConfig().Text(ConsoleConfig::Engine).trimmed();
    if (engine.isEmpty())
        return Choice::NotChosen;
    if (engine.compare(QLatin1String(EngineRehearsal), Qt::CaseInsensitive) == 0)
        return Choice::Rehearsal;
    if (engine.compare(QLatin1String(EngineSsh), Qt::CaseInsensitive) == 0)
        return Choice::Ssh;
    return Choice::Unknown;
}

bool EngineRehearses()
{
    return Chosen() != Choice::Ssh;
}

QString Refusal(bool forced)
{
    if (forced || Chosen() != Choice::Unknown)
        return QString();
    return QStringLiteral("The registry value Engine is \"%1\", which names no engine: it is \"rehearsal\" or \"ssh\".  Set it with "
                          "vo config set Engine ssh (the clients are migrated) or vo config set Engine rehearsal.")
        .arg(ConsoleConfig().Text(ConsoleConfig::Engine).trimmed());
}

} // namespace modRehearsal
