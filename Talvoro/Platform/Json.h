#pragma once

#include "Platform/AppError.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <cmath>
#include <optional>

// Strict JSON: a required key that is missing, null or of the wrong type makes the
// enclosing value undecodable; an optional key that is absent or null is absent,
// but present with the wrong type it is an error too; unknown keys are ignored.
// Integers are 64-bit and exact; a number with a fraction is not an integer.
// Writing never produces null, NaN or infinity.
namespace talvoro::json {

class DecodingError final : public AppError {
public:
    DecodingError(QString path, QString reason);
    QString path() const { return m_path; }
    QString reason() const { return m_reason; }
    QString description() const override;
    // The same failure seen from an enclosing value: "$.words" + "[3].id".
    DecodingError prefixed(const QString &enclosingPath) const;

private:
    QString m_path;
    QString m_reason;
};

class EncodingError final : public AppError {
public:
    EncodingError(QString path, QString reason);
    QString description() const override;

private:
    QString m_path;
    QString m_reason;
};

// Parses a whole document; throws DecodingError on malformed text.
QJsonValue parse(const QByteArray &text);
QJsonObject parseObject(const QByteArray &text);
QJsonArray parseArray(const QByteArray &text);

// Compact text; the value must hold no null and no non-finite number.
QByteArray serialize(const QJsonObject &object);
QByteArray serialize(const QJsonArray &array);

// Scalars read from a value, with `path` naming it in the error.
QString toString(const QJsonValue &value, const QString &path);
qint64 toInteger(const QJsonValue &value, const QString &path);
double toNumber(const QJsonValue &value, const QString &path);
bool toBool(const QJsonValue &value, const QString &path);
QJsonObject toObject(const QJsonValue &value, const QString &path);
QJsonArray toArray(const QJsonValue &value, const QString &path);

// "$.words" and 3 give "$.words[3]".
QString elementPath(const QString &arrayPath, qsizetype index);

// Runs `decode` and reports its failure under the path that `path()` renders. With
// it a nested value can be decoded with a path relative to itself (empty), so that
// no path is built unless something fails.
template<typename Path, typename Decode>
auto underPath(const Path &path, const Decode &decode)
{
    try {
        return decode();
    } catch (const DecodingError &error) {
        throw error.prefixed(path());
    }
}

class ObjectReader {
public:
    template<typename Decode>
    static auto decodeArray(const QJsonArray &array, const QString &path, Decode decode)
    {
        using Element = decltype(decode(QJsonValue(), QString()));
        QList<Element> result;
        result.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            result.append(
                underPath([&] { return elementPath(path, i); }, [&] { return decode(array.at(i), QString()); }));
        }
        return result;
    }

    explicit ObjectReader(QJsonObject object, QString path = QStringLiteral("$"));
    // Reads a value that must be an object.
    ObjectReader(const QJsonValue &value, const QString &path);

    const QJsonObject &object() const { return m_object; }
    const QString &path() const { return m_path; }
    QString pathOf(const QString &key) const;

    // Present and not null.
    bool has(const QString &key) const;

    QString string(const QString &key) const;
    qint64 integer(const QString &key) const;
    double number(const QString &key) const;
    // A date as seconds since 2001 (text::fromReferenceSeconds); one out of range is an error.
    QDateTime referenceDate(const QString &key) const;
    bool boolean(const QString &key) const;
    QJsonObject object(const QString &key) const;
    QJsonArray array(const QString &key) const;

    std::optional<QString> optionalString(const QString &key) const;
    std::optional<qint64> optionalInteger(const QString &key) const;
    std::optional<double> optionalNumber(const QString &key) const;
    std::optional<QDateTime> optionalReferenceDate(const QString &key) const;
    std::optional<bool> optionalBoolean(const QString &key) const;
    std::optional<QJsonObject> optionalObject(const QString &key) const;
    std::optional<QJsonArray> optionalArray(const QString &key) const;

    // A required array whose elements are decoded by `decode(value, path)`;
    // one bad element makes the whole array undecodable.
    template<typename Decode>
    auto list(const QString &key, Decode decode) const
    {
        const QJsonArray values = array(key);
        return underPath([&] { return pathOf(key); }, [&] { return decodeArray(values, QString(), decode); });
    }
    template<typename Decode>
    auto optionalList(const QString &key, Decode decode) const
        -> std::optional<decltype(decodeArray(QJsonArray(), QString(), decode))>
    {
        if (!has(key))
            return std::nullopt;
        return list(key, decode);
    }
    // An optional value decoded by `decode(value, path)`; absent or null gives none.
    template<typename Decode>
    auto optionalValue(const QString &key, Decode decode) const
        -> std::optional<decltype(decode(QJsonValue(), QString()))>
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined() || value.isNull())
            return std::nullopt;
        return underPath([&] { return pathOf(key); }, [&] { return decode(value, QString()); });
    }
    QList<QString> stringList(const QString &key) const;
    std::optional<QList<QString>> optionalStringList(const QString &key) const;

private:
    QJsonValue required(const QString &key) const;

    QJsonObject m_object;
    QString m_path;
};

// Builds an object; optional values that are absent are left out, never null.
class ObjectWriter {
public:
    ObjectWriter &set(const QString &key, const QString &value);
    ObjectWriter &set(const QString &key, const char *value) { return set(key, QString::fromUtf8(value)); }
    ObjectWriter &set(const QString &key, qint64 value);
    ObjectWriter &set(const QString &key, int value) { return set(key, qint64(value)); }
    ObjectWriter &set(const QString &key, double value); // throws EncodingError when not finite
    ObjectWriter &set(const QString &key, bool value);
    ObjectWriter &set(const QString &key, const QJsonObject &value);
    ObjectWriter &set(const QString &key, const QJsonArray &value);
    ObjectWriter &set(const QString &key, const QList<QString> &values);

    template<typename T>
    ObjectWriter &set(const QString &key, const std::optional<T> &value)
    {
        if (value)
            set(key, *value);
        return *this;
    }

    QJsonObject object() const { return m_object; }

private:
    QJsonObject m_object;
};

} // namespace talvoro::json
