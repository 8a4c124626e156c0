#include "common/modRollback.h"

#include "common/modGeneral.h"

namespace modRollback {

QString Word()
{
    return QStringLiteral("Rollback");
}

QString Label(const QString &text)
{
    return text + QStringLiteral(" [") + Word() + QLatin1Char(']');
}

QString FirstLine(bool forget)
{
    return forget ? Word() + QStringLiteral(" (forget): the chosen computers remove the journals of their migration; nothing is reversed.")
                  : Word() + QStringLiteral(": the chosen computers are reached over ssh and what their migration did is reversed, newest step first.");
}

QString LastLine(bool forget)
{
    return forget ? Word() + QStringLiteral(" ended: the journals are gone; those migrations can no longer be rolled back.")
                  : Word() + QStringLiteral(" ended: each computer's status says whether its migration was reversed.");
}

QString JobName(const QString &job)
{
    return modGeneral::NextFreeJobName(job + QLatin1Char(' ') + Word().toLower());
}

} // namespace modRollback
