#include "engine/modEngineLink.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace modEngineLink {

QByteArray Encode(const QJsonObject &message)
{
    return QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
}

bool LineReader::read(QIODevice &device, QList<QJsonObject> &messages, QString &problem)
{
    for (;;) {
        // Never more than one line's worth held, whatever the peer sends.
        const QByteArray chunk = device.read(MaxLineBytes + 1 - m_partial.size());
        if (chunk.isEmpty())
            return true;
        m_partial += chunk;
        qsizetype start = 0;
        for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n', start)) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(m_partial.mid(start, end - start), &error);
            if (error.error != QJsonParseError::NoError || !document.isObject()) {
                problem = QStringLiteral("a message that is not a JSON object (%1)").arg(error.errorString());
                return false;
            }
            messages.append(document.object());
            start = end + 1;
        }
        m_partial.remove(0, start);
        if (m_partial.size() > MaxLineBytes) {
            problem = QStringLiteral("a message longer than %1 bytes").arg(MaxLineBytes);
            return false;
        }
    }
}

QJsonObject EncodeJobClient(const JobClient &client)
{
    QJsonArray files;
    for (const auto &[name, content] : client.files)
        files.append(QJsonArray {name, QString::fromLatin1(content.toBase64())});
    return {{QStringLiteral("n"), client.number}, {QStringLiteral("name"), client.name}, {QStringLiteral("login"), client.login},
        {QStringLiteral("files"), files}, {QStringLiteral("wave"), client.wave},
        {QStringLiteral("askFirst"), client.askFirst}};
}

bool DecodeJobClient(const QJsonObject &message, JobClient &client, QString &problem)
{
    client.number = message.value(QStringLiteral("n")).toInt();
    client.name = message.value(QStringLiteral("name")).toString();
    client.login = message.value(QStringLiteral("login")).toString();
    client.wave = message.value(QStringLiteral("wave")).toInt();
    client.askFirst = message.value(QStringLiteral("askFirst")).toBool();
    client.files.clear();
    if (client.wave < 0) {
        problem = QStringLiteral("client %1 has a wave below 0").arg(client.number);
        return false;
    }
    if (client.number < 1 || client.name.isEmpty()) {
        problem = QStringLiteral("a client without a number or a name");
        return false;
    }
    for (const QJsonValue &file : message.value(QStringLiteral("files")).toArray()) {
        const QJsonArray pair = file.toArray();
        const QString name = pair.at(0).toString();
        if (pair.size() != 2 || name.isEmpty() || name.contains(QLatin1Char('/')) || name.startsWith(QLatin1Char('.'))) {
            problem = QStringLiteral("client %1 has a file without a plain name").arg(client.number);
            return false;
        }
        client.files.append({name, QByteArray::fromBase64(pair.at(1).toString().toLatin1())});
    }
    return true;
}

QJsonArray EncodeWaves(const QList<JobWave> &waves)
{
    QJsonArray list;
    for (const JobWave &wave : waves) {
        list.append(QJsonObject {{QStringLiteral("name"), wave.name},
            {QStringLiteral("notBefore"), wave.notBefore.isValid() ? wave.notBefore.toUTC().toString(Qt::ISODate) : QString()},
            {QStringLiteral("concurrency"), wave.concurrency}, {QStringLiteral("failurePercent"), wave.failurePercent}});
    }
    return list;
}

bool DecodeWaves(const QJsonArray &list, QList<JobWave> &waves, QString &problem)
{
    waves.clear();
    for (const QJsonValue &entry : list) {
        const QJsonObject object = entry.toObject();
        JobWave wave;
        wave.name = object.value(QStringLiteral("name")).toString();
        const QString notBefore = object.value(QStringLiteral("notBefore")).toString();
        if (!notBefore.isEmpty())
            wave.notBefore = QDateTime::fromString(notBefore, Qt::ISODate).toUTC();
        wave.concurrency = object.value(QStringLiteral("concurrency")).toInt();
        wave.failurePercent = object.value(QStringLiteral("failurePercent")).toInt(-1);
        if (wave.name.isEmpty() || (!notBefore.isEmpty() && !wave.notBefore.isValid()) || wave.concurrency < 0
            || wave.failurePercent < -1 || wave.failurePercent > 100) {
            problem = QStringLiteral("wave %1 of the job is not one the console writes").arg(waves.size() + 1);
            return false;
        }
        waves.append(wave);
    }
    return true;
}

} // namespace modEngineLink
