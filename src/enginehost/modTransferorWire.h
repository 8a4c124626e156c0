#pragma once

#include "enginehost/TransferorTask.h"

#include <QJsonObject>

// The task and its outcome on the pipe between the engine and a transferor.
namespace modTransferorWire {

QJsonObject EncodeTask(const TransferorTask &task);
bool DecodeTask(const QJsonObject &message, TransferorTask &task);
QJsonObject EncodeOutcome(const TransferorOutcome &outcome);
bool DecodeOutcome(const QJsonObject &message, TransferorOutcome &outcome);

} // namespace modTransferorWire
