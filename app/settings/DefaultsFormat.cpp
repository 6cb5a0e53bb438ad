#include "DefaultsFormat.h"

#include <QDateTime>
#include <QJsonDocument>

namespace lunaveil {
namespace {

const QString dataTag = QStringLiteral("data");
const QString dateTag = QStringLiteral("date");

}  // namespace

QJsonValue encodeValue(const StoredValue& value)
{
    return std::visit(
        [](const auto& v) -> QJsonValue {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, QByteArray>) {
                return QJsonObject{{dataTag, QString::fromLatin1(v.toBase64())}};
            } else if constexpr (std::is_same_v<T, TimePoint>) {
                const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(v.time_since_epoch()).count();
                return QJsonObject{{dateTag, QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs)}};
            } else {
                return QJsonValue(v);
            }
        },
        value);
}

std::optional<StoredValue> decodeValue(const QJsonValue& json)
{
    switch (json.type()) {
    case QJsonValue::Double:
        return json.toDouble();
    case QJsonValue::Bool:
        return json.toBool();
    case QJsonValue::String:
        return json.toString();
    case QJsonValue::Object: {
        const QJsonObject object = json.toObject();
        if (object.size() != 1)
            return std::nullopt;
        if (const QJsonValue data = object.value(dataTag); data.isString()) {
            auto decoded = QByteArray::fromBase64Encoding(data.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
            if (decoded)
                return *decoded;
        }
        if (const QJsonValue date = object.value(dateTag); date.isString()) {
            const QDateTime when = QDateTime::fromString(date.toString(), Qt::ISODateWithMs);
            // A point in time holds nanoseconds, a few centuries either side of 1970; a date
            // beyond them is no date Lunaveil wrote.
            if (when.isValid() && when.date().year() >= 1900 && when.date().year() <= 2200)
                return TimePoint(std::chrono::milliseconds(when.toMSecsSinceEpoch()));
        }
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QJsonObject> parseDefaults(const QByteArray& contents)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(contents, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

QByteArray serialiseDefaults(const QJsonObject& values)
{
    return QJsonDocument(values).toJson(QJsonDocument::Indented);
}

}  // namespace lunaveil
