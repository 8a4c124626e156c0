#include "import/UserFileReader.h"

#include "common/modText.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

UserFileReader::Status UserFileReader::Read(const QString &path, QString &text)
{
    // Asked before opening: opening a pipe would wait for a writer, and
    // reading a device such as /dev/zero would never end.
    const QFileInfo info(path);
    if (!info.exists())
        return Status::Failed;
    if (!info.isFile())
        return Status::NotAFile;
    if (info.size() > MaxFileBytes)
        return Status::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Failed;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Status::Failed;
    if (bytes.size() > MaxFileBytes)
        return Status::TooLarge;
    text = Decode(bytes);
    return Status::Read;
}

QString UserFileReader::Decode(const QByteArray &bytes)
{
    QByteArrayView content(bytes);
    if (content.startsWith("\xEF\xBB\xBF"))
        content = content.sliced(3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(content);
    // Latin letters saved in the ANSI code page are never valid UTF-8, so
    // one bad sequence is enough to tell the two apart.
    if (utf8.hasError())
        text = modText::FromAnsi(content.toByteArray());
    return text;
}
