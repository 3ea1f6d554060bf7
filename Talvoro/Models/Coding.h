#pragma once

#include "Platform/Json.h"

#include <QHash>
#include <QJsonArray>
#include <QList>

#include <array>

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
    return reader.optionalValue(key, &T::fromJson);
}

template<typename T>
std::optional<QJsonObject> encodeOptional(const std::optional<T> &value)
{
    return value ? std::optional(value->toJson()) : std::nullopt;
}

// The case of `all` whose raw value is `value`, if any.
template<typename Enum, std::size_t N>
std::optional<Enum> fromRawValue(const std::array<Enum, N> &all, const QString &value)
{
    for (const Enum candidate : all) {
        if (rawValue(candidate) == value)
            return candidate;
    }
    return std::nullopt;
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
