#include "Wire.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QUuid>

#include <cmath>

namespace standin {

QByteArray Request::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

QString Request::queryValue(const QString &key) const
{
    for (const QString &item : query.split(u'&')) {
        if (item.section(u'=', 0, 0) == key)
            return item.section(u'=', 1);
    }
    return {};
}

std::optional<qint64> readId(const QString &text)
{
    static const QRegularExpression decimal(
        QRegularExpression::anchoredPattern(QStringLiteral("0|-?[1-9][0-9]{0,18}")));
    bool ok = false;
    const qint64 id = text.toLongLong(&ok);
    if (!decimal.match(text).hasMatch() || !ok)
        return std::nullopt;
    return id;
}

Reply Reply::json(int status, const QJsonObject &object)
{
    return Reply {status, "application/json", QJsonDocument(object).toJson(QJsonDocument::Compact)};
}

namespace {
QString traceId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}
} // namespace

Reply Reply::envelope(const QJsonValue &data, int status)
{
    return json(
        status, QJsonObject {{"success", true}, {"data", data}, {"traceId", traceId()}, {"timestamp", timestampNow()}});
}

Reply Reply::legacy(const QJsonValue &data)
{
    return json(200, QJsonObject {{"code", 0}, {"data", data}});
}

ApiError ApiError::badRequest(const QString &message)
{
    return {400, "VALIDATION_FAILED", message};
}

ApiError ApiError::notFound()
{
    return {404, "RESOURCE_NOT_FOUND", QStringLiteral("资源不存在或无权访问")};
}

ApiError ApiError::conflict()
{
    return {409, "DATA_CONFLICT", QStringLiteral("数据已在其他设备上更新，请刷新后重试")};
}

Reply errorReply(const ApiError &error)
{
    return Reply::json(error.status,
        QJsonObject {{"success", false},
            {"error", QJsonObject {{"code", QString::fromLatin1(error.code)}, {"message", error.message}}},
            {"message", error.message}, {"traceId", traceId()}, {"timestamp", timestampNow()}});
}

QString timestampNow()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

BodyReader::BodyReader(const QJsonObject &object, QString prefix)
    : m_object(object)
    , m_prefix(std::move(prefix))
{ }

BodyReader BodyReader::parse(const QByteArray &body)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw ApiError {400, "INVALID_JSON", QStringLiteral("请求内容不是有效的 JSON 对象")};
    return BodyReader(document.object());
}

bool BodyReader::has(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    return !value.isUndefined() && !value.isNull();
}

void BodyReader::fail(const QString &key) const
{
    throw ApiError::badRequest(QStringLiteral("字段 %1 缺失或类型错误").arg(m_prefix + key));
}

QJsonValue BodyReader::required(const QString &key) const
{
    if (!has(key))
        fail(key);
    return m_object.value(key);
}

namespace {
QString limited(const QString &text, const QString &key, qsizetype maximumLength)
{
    if (text.size() > maximumLength)
        throw ApiError::badRequest(QStringLiteral("字段 %1 过长，不能超过 %2 个字符").arg(key).arg(maximumLength));
    return text;
}
} // namespace

QString BodyReader::string(const QString &key, qsizetype maximumLength) const
{
    const QJsonValue value = required(key);
    if (!value.isString())
        fail(key);
    return limited(value.toString(), m_prefix + key, maximumLength);
}

std::optional<QString> BodyReader::optionalString(const QString &key, qsizetype maximumLength) const
{
    if (!has(key))
        return std::nullopt;
    return string(key, maximumLength);
}

qint64 BodyReader::integer(const QString &key) const
{
    const QJsonValue value = required(key);
    // JSON numbers arrive as doubles: only whole numbers that fit exactly count.
    const double number = value.toDouble();
    if (!value.isDouble() || std::trunc(number) != number || std::fabs(number) > 9007199254740991.0)
        fail(key);
    return value.toInteger();
}

std::optional<qint64> BodyReader::optionalInteger(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return integer(key);
}

double BodyReader::number(const QString &key) const
{
    const QJsonValue value = required(key);
    if (!value.isDouble() || !std::isfinite(value.toDouble()))
        fail(key);
    return value.toDouble();
}

std::optional<double> BodyReader::optionalNumber(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return number(key);
}

bool BodyReader::boolean(const QString &key) const
{
    const QJsonValue value = required(key);
    if (!value.isBool())
        fail(key);
    return value.toBool();
}

QJsonArray BodyReader::array(const QString &key) const
{
    const QJsonValue value = required(key);
    if (!value.isArray())
        fail(key);
    return value.toArray();
}

QStringList BodyReader::stringArray(const QString &key) const
{
    QStringList result;
    for (const QJsonValue &element : array(key)) {
        if (!element.isString())
            fail(key);
        result.append(limited(element.toString(), m_prefix + key, maximumTextLength));
    }
    return result;
}

std::optional<QStringList> BodyReader::optionalStringArray(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    return stringArray(key);
}

QList<BodyReader> BodyReader::objectArray(const QString &key) const
{
    QList<BodyReader> result;
    const QJsonArray elements = array(key);
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (!elements.at(i).isObject())
            fail(QStringLiteral("%1[%2]").arg(key).arg(i));
        result.append(BodyReader(elements.at(i).toObject(), QStringLiteral("%1%2[%3].").arg(m_prefix, key).arg(i)));
    }
    return result;
}

} // namespace standin
