#pragma once

#include "Platform/Json.h"

#include <QHash>
#include <QJsonArray>
#include <QList>

#include <optional>
#include <type_traits>

// Shared pieces of the models' JSON forms and hashing.
namespace talvoro::coding {

// A required array of values that each decode with `T::fromJson(value, path)`.
template<typename T>
QList<T> decodeList(const QJsonValue &value, const QString &path)
{
    return json::ObjectReader::decodeArray(json::toArray(value, path), path, &T::fromJson);
}

template<typename T>
QJsonArray encodeList(const QList<T> &values)
{
    QJsonArray array;
    for (const T &value : values)
        array.append(value.toJson());
    return array;
}

// An optional member that decodes with `T::fromJson`: absent or null gives none.
template<typename T>
std::optional<T> decodeOptional(const json::ObjectReader &reader, const QString &key)
{
    if (!reader.has(key))
        return std::nullopt;
    return T::fromJson(reader.object().value(key), reader.pathOf(key));
}

template<typename T>
std::optional<QJsonObject> encodeOptional(const std::optional<T> &value)
{
    return value ? std::optional(value->toJson()) : std::nullopt;
}

// Hashes an optional with a presence marker first, so that an absent value and a
// present default value hash apart.
template<typename T>
size_t hashOptional(const std::optional<T> &value, size_t seed)
{
    seed = qHashMulti(seed, value.has_value());
    return value ? qHashMulti(seed, *value) : seed;
}

} // namespace talvoro::coding
