#include "Persistence/SqlSupport.h"

#include <QSqlError>

#include <cmath>

namespace talvoro::sql {

void fail(const QSqlError &error)
{
    throw LocalStoreDatabaseError(error.text());
}

namespace {

void prepare(QSqlQuery &query, const QString &statement)
{
    query.setForwardOnly(true);
    if (!query.prepare(statement))
        fail(query.lastError());
}

void execute(QSqlQuery &query, const QVariantList &values)
{
    for (qsizetype i = 0; i < values.size(); ++i)
        query.bindValue(int(i), values.at(i));
    if (!query.exec())
        fail(query.lastError());
}

} // namespace

QSqlQuery run(const QSqlDatabase &db, const QString &statement, const QVariantList &values)
{
    QSqlQuery query(db);
    prepare(query, statement);
    execute(query, values);
    return query;
}

Statement::Statement(const QSqlDatabase &db, const QString &statement)
    : m_query(db)
{
    prepare(m_query, statement);
}

QSqlQuery &Statement::run(const QVariantList &values)
{
    execute(m_query, values);
    return m_query;
}

QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant text(const std::optional<QString> &value)
{
    return value ? text(*value) : QVariant();
}

QVariant integer(const std::optional<qint64> &value)
{
    return value ? QVariant(*value) : QVariant();
}

QVariant date(const QDateTime &value)
{
    return QVariant(value.toMSecsSinceEpoch());
}

QVariant date(const std::optional<QDateTime> &value)
{
    return value ? date(*value) : QVariant();
}

QVariant data(const std::optional<QByteArray> &value)
{
    // A null QByteArray would be bound as NULL too; keep an empty value a value.
    return value ? QVariant(value->isNull() ? QByteArray("") : *value) : QVariant();
}

std::optional<qint64> readInteger(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
        return value.toLongLong();
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isfinite(number) && std::abs(number) < 9.2e18)
            return qint64(number);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> readString(const QVariant &value)
{
    if (value.isNull() || value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

std::optional<QDateTime> readDate(const QVariant &value)
{
    if (value.isNull() || value.typeId() != QMetaType::LongLong)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong(), Qt::UTC);
}

std::optional<QByteArray> readData(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    if (value.typeId() == QMetaType::QByteArray)
        return value.toByteArray();
    if (value.typeId() == QMetaType::QString)
        return value.toString().toUtf8();
    return std::nullopt;
}

bool readFlag(const QVariant &value)
{
    const auto number = readInteger(value);
    return number && *number != 0;
}

} // namespace talvoro::sql
