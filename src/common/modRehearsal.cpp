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

QString NothingMigrated()
{
    return QStringLiteral("Those are the results of a rehearsal: no computer was migrated, so every computer is still to do.");
}

bool EngineRehearses()
{
    const QString engine = ConsoleConfig().Text(ConsoleConfig::Engine).trimmed();
    return engine.isEmpty() || engine.compare(QLatin1String(EngineRehearsal), Qt::CaseInsensitive) == 0;
}

QString Refusal(bool forced)
{
    if (forced)
        return QString();
    const QString engine = ConsoleConfig().Text(ConsoleConfig::Engine).trimmed();
    if (engine.compare(QLatin1String(EngineRehearsal), Qt::CaseInsensitive) == 0)
        return QString();
    // The ssh engine reaches the clients already, but only to check them:
    // their migration work comes later, and a run that looked like one would
    // report computers as migrated that nothing touched.
    if (engine.compare(QLatin1String(EngineSsh), Qt::CaseInsensitive) == 0)
        return QStringLiteral("The ssh engine can check the clients but cannot migrate them yet, so Start Migration does not run "
                              "with the registry value Engine set to \"ssh\".  To rehearse the job with the simulated engine, set "
                              "Engine to \"rehearsal\" (vo config set Engine rehearsal, or vo run --rehearsal).  To check the "
                              "clients themselves, use \"Check on the clients\" in Tools > Readiness Report.");
    return QStringLiteral("The registry value Engine is \"%1\", which names no engine: it is \"rehearsal\" or \"ssh\".  Set it with "
                          "vo config set Engine rehearsal.")
        .arg(engine);
}

} // namespace modRehearsal
