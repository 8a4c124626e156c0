#include "engine/EngineLogFile.h"

#include "common/Clock.h"
#include "common/PrivateFolder.h"

bool EngineLogFile::Open(PrivateFolder &folder, const QString &name)
{
    Close();
    m_path = folder.FilePath(name);
    m_error.clear();
    if (folder.OpenFile(m_file, name, QIODevice::WriteOnly | QIODevice::Append))
        return true;
    m_error = folder.ErrorString();
    return false;
}

void EngineLogFile::Close()
{
    if (m_file.isOpen())
        m_file.close();
}

void EngineLogFile::Line(const QString &text, const QString &separator)
{
    if (!m_file.isOpen())
        return;
    m_file.write((Stamp() + separator + text + QStringLiteral("\r\n")).toUtf8());
    m_file.flush();
}

QString EngineLogFile::Stamp()
{
    return Clock::instance().currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
