#include "common/CommandOpener.h"

#include <QProcess>

#include <utility>

CommandOpener::CommandOpener(QString command)
    : m_command(std::move(command))
{ }

int CommandOpener::open(const QString &path, const QString &workingFolder)
{
    const int check = CheckTarget(path);
    if (check != Opened)
        return check;
    QStringList arguments = QProcess::splitCommand(m_command);
    if (arguments.isEmpty())
        return NoAssociation;
    const QString program = arguments.takeFirst();
    arguments.append(path);
    return QProcess::startDetached(program, arguments, workingFolder) ? Opened : NotStarted;
}
