#include "Platform/Json.h"

#include <QJsonParseError>

namespace talvoro::json {

DecodingError::DecodingError(QString path, QString reason)
    : m_path(std::move(path))
    , m_reason(std::move(reason))
{ }

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

QString toString(const QJsonValue &value, const QString &path)
{
    if (!value.isString())
        wrongType(value, path, "字符串");
    return value.toString();
}

qint64 toInteger(const QJsonValue &value, const QString &path)
{
    if (!value.isDouble())
        wrongType(value, path, "整数");
    // toInteger() answers its default for a number that is not an exact integer;
    // two different defaults tell that apart from a real 0 or 1.
    const qint64 a = value.toInteger(0);
    const qint64 b = value.toInteger(1);
    if (a != b)
        throw DecodingError(path, QStringLiteral("应为整数，实为 %1").arg(value.toDouble()));
    return a;
}

double toNumber(const QJsonValue &value, const QString &path)
{
    if (!value.isDouble())
        wrongType(value, path, "数字");
    return value.toDouble();
}

bool toBool(const QJsonValue &value, const QString &path)
{
    if (!value.isBool())
        wrongType(value, path, "布尔值");
    return value.toBool();
}

QJsonObject toObject(const QJsonValue &value, const QString &path)
{
    if (!value.isObject())
        wrongType(value, path, "对象");
    return value.toObject();
}

QJsonArray toArray(const QJsonValue &value, const QString &path)
{
    if (!value.isArray())
        wrongType(value, path, "数组");
    return value.toArray();
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
    const QJsonValue value = m_object.value(key);
    return !value.isUndefined() && !value.isNull();
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

QString ObjectReader::string(const QString &key) const
{
    return toString(required(key), pathOf(key));
}

qint64 ObjectReader::integer(const QString &key) const
{
    return toInteger(required(key), pathOf(key));
}

double ObjectReader::number(const QString &key) const
{
    return toNumber(required(key), pathOf(key));
}

bool ObjectReader::boolean(const QString &key) const
{
    return toBool(required(key), pathOf(key));
}

QJsonObject ObjectReader::object(const QString &key) const
{
    return toObject(required(key), pathOf(key));
}

QJsonArray ObjectReader::array(const QString &key) const
{
    return toArray(required(key), pathOf(key));
}

std::optional<QString> ObjectReader::optionalString(const QString &key) const
{
    return has(key) ? std::optional(string(key)) : std::nullopt;
}

std::optional<qint64> ObjectReader::optionalInteger(const QString &key) const
{
    return has(key) ? std::optional(integer(key)) : std::nullopt;
}

std::optional<double> ObjectReader::optionalNumber(const QString &key) const
{
    return has(key) ? std::optional(number(key)) : std::nullopt;
}

std::optional<bool> ObjectReader::optionalBoolean(const QString &key) const
{
    return has(key) ? std::optional(boolean(key)) : std::nullopt;
}

std::optional<QJsonObject> ObjectReader::optionalObject(const QString &key) const
{
    return has(key) ? std::optional(object(key)) : std::nullopt;
}

std::optional<QJsonArray> ObjectReader::optionalArray(const QString &key) const
{
    return has(key) ? std::optional(array(key)) : std::nullopt;
}

QList<QString> ObjectReader::stringList(const QString &key) const
{
    return list(key, [](const QJsonValue &v, const QString &p) { return toString(v, p); });
}

std::optional<QList<QString>> ObjectReader::optionalStringList(const QString &key) const
{
    return has(key) ? std::optional(stringList(key)) : std::nullopt;
}

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
