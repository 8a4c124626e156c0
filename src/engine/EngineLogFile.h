#pragma once

#include <QFile>
#include <QString>

class PrivateFolder;

// One of the logs the engine keeps in the results folder. Lines are stamped
// with the console's clock, end in CR LF, are UTF-8, and are flushed at once
// so that the log commands of the console show what happened up to now.
class EngineLogFile
{
public:
    // Appends to `name` below `folder`, creating it when needed; a link on
    // the way is refused (ErrorString names it).
    bool Open(PrivateFolder &folder, const QString &name);
    void Close();
    bool IsOpen() const { return m_file.isOpen(); }
    QString Path() const { return m_path; }
    QString ErrorString() const { return m_error; }

    void Line(const QString &text, const QString &separator = QStringLiteral("  "));

    // "yyyy-MM-dd hh:mm:ss" of the console's clock.
    static QString Stamp();

private:
    QFile m_file;
    QString m_path;
    QString m_error;
};
