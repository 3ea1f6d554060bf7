#pragma once

#include "Models/Coding.h"

#include <functional>
#include <optional>

namespace talvoro {

// The "error" object of a failed answer: both members are required strings.
struct ORVApiErrorDetail {
    QString code;
    QString message;

    static ORVApiErrorDetail fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const ORVApiErrorDetail &) const = default;
};

// The one shape of every answer of the current endpoints. `data` is decoded by a
// decoder the caller gives (a record, or a list of them); a present "data" that
// does not decode makes the whole envelope undecodable.
template<typename T>
struct ORVApiResponse {
    bool success = false;
    std::optional<T> data;
    std::optional<ORVApiErrorDetail> error;
    std::optional<QString> traceId;
    std::optional<QString> timestamp;

    using DataDecoder = std::function<T(const QJsonValue &, const QString &)>;
    using DataEncoder = std::function<QJsonValue(const T &)>;

    static ORVApiResponse fromJson(
        const QJsonValue &value, const DataDecoder &decodeData, const QString &path = QStringLiteral("$"))
    {
        const json::ObjectReader reader(value, path);
        ORVApiResponse response;
        response.success = reader.boolean(QStringLiteral("success"));
        if (reader.has(QStringLiteral("data")))
            response.data
                = decodeData(reader.object().value(QStringLiteral("data")), reader.pathOf(QStringLiteral("data")));
        response.error = coding::decodeOptional<ORVApiErrorDetail>(reader, QStringLiteral("error"));
        response.traceId = reader.optionalString(QStringLiteral("traceId"));
        response.timestamp = reader.optionalString(QStringLiteral("timestamp"));
        return response;
    }

    QJsonObject toJson(const DataEncoder &encodeData) const
    {
        QJsonObject object = json::ObjectWriter()
                                 .set(QStringLiteral("success"), success)
                                 .set(QStringLiteral("error"), coding::encodeOptional(error))
                                 .set(QStringLiteral("traceId"), traceId)
                                 .set(QStringLiteral("timestamp"), timestamp)
                                 .object();
        if (data)
            object.insert(QStringLiteral("data"), encodeData(*data));
        return object;
    }
};

} // namespace talvoro
