#include "engine/EngineLogFile.h"

#include "common/Clock.h"

bool EngineLogFile::Open(const QString &path)
{
    Close();
    m_file.setFileName(path);
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append);
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
