#include "common/modPrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>

namespace modPrivateFiles {

bool MakeFolder(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

void Restrict(QFileDevice &file)
{
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace modPrivateFiles
