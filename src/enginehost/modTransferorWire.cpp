#include "enginehost/modTransferorWire.h"

#include <QJsonArray>

namespace modTransferorWire {

namespace {

QString base64(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64());
}

QByteArray fromBase64(const QJsonValue &value)
{
    return QByteArray::fromBase64(value.toString().toLatin1());
}

QJsonArray strings(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &entry : value.toArray())
        list.append(entry.toString());
    return list;
}

} // namespace

QJsonObject EncodeTask(const TransferorTask &task)
{
    QJsonArray steps;
    for (const TransferorStep &step : task.steps) {
        steps.append(QJsonObject {{QStringLiteral("name"), step.name}, {QStringLiteral("argv"), strings(step.argv)},
            {QStringLiteral("input"), base64(step.input)}, {QStringLiteral("timeout"), step.timeoutSeconds},
            {QStringLiteral("output"), step.outputFile}, {QStringLiteral("cap"), double(step.outputCap)},
            {QStringLiteral("mayFail"), step.mayFail}});
    }
    return {{QStringLiteral("id"), task.id}, {QStringLiteral("n"), task.client}, {QStringLiteral("computer"), task.computer},
        {QStringLiteral("steps"), steps}, {QStringLiteral("env"), strings(task.environment)}};
}

bool DecodeTask(const QJsonObject &message, TransferorTask &task)
{
    task.id = message.value(QStringLiteral("id")).toInt();
    task.client = message.value(QStringLiteral("n")).toInt();
    task.computer = message.value(QStringLiteral("computer")).toString();
    task.environment = strings(message.value(QStringLiteral("env")));
    task.steps.clear();
    for (const QJsonValue &value : message.value(QStringLiteral("steps")).toArray()) {
        const QJsonObject object = value.toObject();
        TransferorStep step;
        step.name = object.value(QStringLiteral("name")).toString();
        step.argv = strings(object.value(QStringLiteral("argv")));
        step.input = fromBase64(object.value(QStringLiteral("input")));
        step.timeoutSeconds = object.value(QStringLiteral("timeout")).toInt(60);
        step.outputFile = object.value(QStringLiteral("output")).toString();
        step.outputCap = qint64(object.value(QStringLiteral("cap")).toDouble());
        step.mayFail = object.value(QStringLiteral("mayFail")).toBool();
        if (step.argv.isEmpty())
            return false;
        task.steps.append(step);
    }
    return task.id > 0;
}

QJsonObject EncodeOutcome(const TransferorOutcome &outcome)
{
    QJsonArray results;
    for (const TransferorStepResult &result : outcome.results) {
        results.append(QJsonObject {{QStringLiteral("name"), result.name}, {QStringLiteral("exit"), result.exitCode},
            {QStringLiteral("timedOut"), result.timedOut}, {QStringLiteral("output"), base64(result.output)},
            {QStringLiteral("error"), base64(result.error)}});
    }
    return {{QStringLiteral("id"), outcome.id}, {QStringLiteral("n"), outcome.client}, {QStringLiteral("ok"), outcome.ok},
        {QStringLiteral("results"), results}};
}

bool DecodeOutcome(const QJsonObject &message, TransferorOutcome &outcome)
{
    outcome.id = message.value(QStringLiteral("id")).toInt();
    outcome.client = message.value(QStringLiteral("n")).toInt();
    outcome.ok = message.value(QStringLiteral("ok")).toBool();
    outcome.results.clear();
    for (const QJsonValue &value : message.value(QStringLiteral("results")).toArray()) {
        const QJsonObject object = value.toObject();
        outcome.results.append({object.value(QStringLiteral("name")).toString(), object.value(QStringLiteral("exit")).toInt(-1),
            object.value(QStringLiteral("timedOut")).toBool(), fromBase64(object.value(QStringLiteral("output"))),
            fromBase64(object.value(QStringLiteral("error")))});
    }
    return outcome.id > 0;
}

} // namespace modTransferorWire
