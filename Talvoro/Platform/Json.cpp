#include "Platform/Json.h"

#include "Platform/Text.h"

#include <QJsonParseError>

namespace talvoro::json {

DecodingError::DecodingError(QString path, QString reason)
    : m_path(std::move(path))
    , m_reason(std::move(reason))
{ }

DecodingError DecodingError::prefixed(const QString &enclosingPath) const
{
    return DecodingError(enclosingPath + m_path, m_reason);
}

QString DecodingError::description() const
{
    return QStringLiteral("数据格式无效（%1：%2）").arg(m_path, m_reason);
}

EncodingError::EncodingError(QString path, QString reason)
    : m_path(std::move(path))
    , m_reason(std::move(reason))
{ }

QString EncodingError::description() const
{
    return QStringLiteral("数据无法编码（%1：%2）").arg(m_path, m_reason);
}

namespace {

const char *typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null:
        return "null";
    case QJsonValue::Bool:
        return "布尔值";
    case QJsonValue::Double:
        return "数字";
    case QJsonValue::String:
        return "字符串";
    case QJsonValue::Array:
        return "数组";
    case QJsonValue::Object:
        return "对象";
    case QJsonValue::Undefined:
        break;
    }
    return "缺失";
}

[[noreturn]] void wrongType(const QJsonValue &value, const QString &path, const char *expected)
{
    throw DecodingError(
        path, QStringLiteral("应为%1，实为%2").arg(QString::fromUtf8(expected), QString::fromUtf8(typeName(value))));
}

void checkWritable(const QJsonValue &value, const QString &path)
{
    switch (value.type()) {
    case QJsonValue::Null:
    case QJsonValue::Undefined:
        throw EncodingError(path, QStringLiteral("不写入 null"));
    case QJsonValue::Double:
        if (!std::isfinite(value.toDouble()))
            throw EncodingError(path, QStringLiteral("数字不是有限值"));
        break;
    case QJsonValue::Array: {
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i)
            checkWritable(array.at(i), QStringLiteral("%1[%2]").arg(path).arg(i));
        break;
    }
    case QJsonValue::Object: {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            checkWritable(it.value(), path + QLatin1Char('.') + it.key());
        break;
    }
    default:
        break;
    }
}

} // namespace

QJsonValue parse(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(QStringLiteral("$"), error.errorString());
    if (document.isObject())
        return document.object();
    if (document.isArray())
        return document.array();
    throw DecodingError(QStringLiteral("$"), QStringLiteral("空文档"));
}

QJsonObject parseObject(const QByteArray &text)
{
    return toObject(parse(text), QStringLiteral("$"));
}

QJsonArray parseArray(const QByteArray &text)
{
    return toArray(parse(text), QStringLiteral("$"));
}

QByteArray serialize(const QJsonObject &object)
{
    checkWritable(object, QStringLiteral("$"));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QByteArray serialize(const QJsonArray &array)
{
    checkWritable(array, QStringLiteral("$"));
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

namespace {

// The readers take the path as a function and render it only to report a failure:
// decoding a large document must not pay for a path per value it reads.
template<typename Path>
QString asString(const QJsonValue &value, const Path &path)
{
    if (!value.isString())
        wrongType(value, path(), "字符串");
    return value.toString();
}

template<typename Path>
qint64 asInteger(const QJsonValue &value, const Path &path)
{
    if (!value.isDouble())
        wrongType(value, path(), "整数");
    // toInteger() answers its default for a number that is not an exact integer;
    // two different defaults tell that apart from a real 0 or 1.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        throw DecodingError(path(), QStringLiteral("应为整数，实为 %1").arg(value.toDouble()));
    return a;
}

template<typename Path>
double asNumber(const QJsonValue &value, const Path &path)
{
    if (!value.isDouble())
        wrongType(value, path(), "数字");
    return value.toDouble();
}

template<typename Path>
QDateTime asReferenceDate(const QJsonValue &value, const Path &path)
{
    const std::optional<QDateTime> date = text::fromReferenceSeconds(asNumber(value, path));
    if (!date)
        throw DecodingError(path(), QStringLiteral("日期超出范围"));
    return *date;
}

template<typename Path>
bool asBool(const QJsonValue &value, const Path &path)
{
    if (!value.isBool())
        wrongType(value, path(), "布尔值");
    return value.toBool();
}

template<typename Path>
QJsonObject asObject(const QJsonValue &value, const Path &path)
{
    if (!value.isObject())
        wrongType(value, path(), "对象");
    return value.toObject();
}

template<typename Path>
QJsonArray asArray(const QJsonValue &value, const Path &path)
{
    if (!value.isArray())
        wrongType(value, path(), "数组");
    return value.toArray();
}

template<typename Path>
QList<QString> asStringList(const QJsonValue &value, const Path &path)
{
    const QJsonArray values = asArray(value, path);
    QList<QString> result;
    result.reserve(values.size());
    for (qsizetype i = 0; i < values.size(); ++i)
        result.append(asString(values.at(i), [&] { return elementPath(path(), i); }));
    return result;
}

bool isAbsent(const QJsonValue &value)
{
    return value.isUndefined() || value.isNull();
}

} // namespace

QString elementPath(const QString &arrayPath, qsizetype index)
{
    return arrayPath + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

QString toString(const QJsonValue &value, const QString &path)
{
    return asString(value, [&] { return path; });
}

qint64 toInteger(const QJsonValue &value, const QString &path)
{
    return asInteger(value, [&] { return path; });
}

double toNumber(const QJsonValue &value, const QString &path)
{
    return asNumber(value, [&] { return path; });
}

bool toBool(const QJsonValue &value, const QString &path)
{
    return asBool(value, [&] { return path; });
}

QJsonObject toObject(const QJsonValue &value, const QString &path)
{
    return asObject(value, [&] { return path; });
}

QJsonArray toArray(const QJsonValue &value, const QString &path)
{
    return asArray(value, [&] { return path; });
}

ObjectReader::ObjectReader(QJsonObject object, QString path)
    : m_object(std::move(object))
    , m_path(std::move(path))
{ }

ObjectReader::ObjectReader(const QJsonValue &value, const QString &path)
    : m_object(toObject(value, path))
    , m_path(path)
{ }

QString ObjectReader::pathOf(const QString &key) const
{
    return m_path + QLatin1Char('.') + key;
}

bool ObjectReader::has(const QString &key) const
{
    return !isAbsent(m_object.value(key));
}

QJsonValue ObjectReader::required(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    if (value.isUndefined())
        throw DecodingError(pathOf(key), QStringLiteral("缺少必需的键"));
    if (value.isNull())
        throw DecodingError(pathOf(key), QStringLiteral("必需的键为 null"));
    return value;
}

#define TALVORO_JSON_READERS(Type, name, optionalName, convert)                                                        \
    Type ObjectReader::name(const QString &key) const                                                                  \
    {                                                                                                                  \
        return convert(required(key), [&] { return pathOf(key); });                                                    \
    }                                                                                                                  \
    std::optional<Type> ObjectReader::optionalName(const QString &key) const                                           \
    {                                                                                                                  \
        const QJsonValue value = m_object.value(key);                                                                  \
        if (isAbsent(value))                                                                                           \
            return std::nullopt;                                                                                       \
        return convert(value, [&] { return pathOf(key); });                                                            \
    }

TALVORO_JSON_READERS(QString, string, optionalString, asString)
TALVORO_JSON_READERS(qint64, integer, optionalInteger, asInteger)
TALVORO_JSON_READERS(double, number, optionalNumber, asNumber)
TALVORO_JSON_READERS(QDateTime, referenceDate, optionalReferenceDate, asReferenceDate)
TALVORO_JSON_READERS(bool, boolean, optionalBoolean, asBool)
TALVORO_JSON_READERS(QJsonObject, object, optionalObject, asObject)
TALVORO_JSON_READERS(QJsonArray, array, optionalArray, asArray)
TALVORO_JSON_READERS(QList<QString>, stringList, optionalStringList, asStringList)
#undef TALVORO_JSON_READERS

ObjectWriter &ObjectWriter::set(const QString &key, const QString &value)
{
    m_object.insert(key, value);
    return *this;
}

ObjectWriter &ObjectWriter::set(const QString &key, qint64 value)
{
    m_object.insert(key, value);
    return *this;
}

ObjectWriter &ObjectWriter::set(const QString &key, double value)
{
    if (!std::isfinite(value))
        throw EncodingError(key, QStringLiteral("数字不是有限值"));
    m_object.insert(key, value);
    return *this;
}

ObjectWriter &ObjectWriter::set(const QString &key, bool value)
{
    m_object.insert(key, value);
    return *this;
}

ObjectWriter &ObjectWriter::set(const QString &key, const QJsonObject &value)
{
    checkWritable(value, key);
    m_object.insert(key, value);
    return *this;
}

ObjectWriter &ObjectWriter::set(const QString &key, const QJsonArray &value)
{
    checkWritable(value, key);
    m_object.insert(key, value);
    return *this;
}

ObjectWriter &ObjectWriter::set(const QString &key, const QList<QString> &values)
{
    m_object.insert(key, QJsonArray::fromStringList(values));
    return *this;
}

} // namespace talvoro::json
