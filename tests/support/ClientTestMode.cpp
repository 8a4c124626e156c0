#include "support/ClientTestMode.h"

#include "support/VoProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

ClientTestMode::ClientTestMode()
    : m_roots(QDir::tempPath() + QStringLiteral("/vo-roots-") + QString::number(::getpid()) + QStringLiteral("-XXXXXX"))
{
    const QString conf = QStringLiteral(VO_CLIENT_CONF);
    if (::geteuid() != 0)
        m_problem = QStringLiteral("the client service's test mode needs root");
    else if (!m_roots.isValid() || !QDir().mkpath(QFileInfo(conf).path()))
        m_problem = QStringLiteral("no folder for %1").arg(conf);
    else if (writeFile(conf, "TestRoots=" + m_roots.path().toUtf8() + "\n").isEmpty()
        || !QFile::setPermissions(conf, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther))
        m_problem = QStringLiteral("%1 cannot be written").arg(conf);
}

ClientTestMode::~ClientTestMode()
{
    if (m_problem.isEmpty())
        QFile::remove(QStringLiteral(VO_CLIENT_CONF));
}
