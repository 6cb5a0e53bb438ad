#pragma once
// The text of Lunaveil's defaults file: a JSON object whose values keep their type.
//
// Numbers and bools are JSON numbers and bools, strings are strings, byte blobs are
// {"data": "<base64>"} and dates are {"date": "<ISO 8601, UTC, milliseconds>"}.

#include "common/Clock.h"

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <optional>
#include <variant>

namespace lunaveil {

using StoredValue = std::variant<double, bool, QByteArray, TimePoint, QString>;

QJsonValue encodeValue(const StoredValue& value);
// Nothing for a value of a kind Lunaveil does not store.
std::optional<StoredValue> decodeValue(const QJsonValue& json);

// The file's keys and values; nothing when the text is not a JSON object (a damaged file).
std::optional<QJsonObject> parseDefaults(const QByteArray& contents);
QByteArray serialiseDefaults(const QJsonObject& values);

}  // namespace lunaveil
