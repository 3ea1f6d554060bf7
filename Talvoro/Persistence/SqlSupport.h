#pragma once

#include "Persistence/LocalWordStoreError.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <optional>
#include <type_traits>

// Small helpers over QtSql for the local store: statements that throw instead of
// returning false, one transaction around a piece of work, and the conversions
// between our values and what a column holds. Dates are stored as whole
// milliseconds since 1970-01-01 UTC, so every comparison in SQL is exact.
namespace talvoro::sql {

[[noreturn]] void fail(const QSqlError &error);

// Prepares and runs one statement with positional values.
QSqlQuery run(const QSqlDatabase &db, const QString &statement, const QVariantList &values = {});

// A statement prepared once and run many times within one piece of work.
class Statement {
public:
    Statement(const QSqlDatabase &db, const QString &statement);
    QSqlQuery &run(const QVariantList &values);

private:
    QSqlQuery m_query;
};

// Runs `work` inside one transaction: committed when it returns, rolled back when
// it (or the commit) throws, and the error passed on.
template<typename Work>
auto inTransaction(QSqlDatabase &db, Work &&work) -> decltype(work())
{
    if (!db.transaction())
        fail(db.lastError());
    try {
        if constexpr (std::is_void_v<decltype(work())>) {
            work();
            if (!db.commit())
                fail(db.lastError());
        } else {
            auto result = work();
            if (!db.commit())
                fail(db.lastError());
            return result;
        }
    } catch (...) {
        db.rollback();
        throw;
    }
}

// Values to bind. A null QString would be bound as NULL; text is never NULL here.
QVariant text(const QString &value);
QVariant text(const std::optional<QString> &value);
QVariant integer(const std::optional<qint64> &value);
QVariant date(const QDateTime &value);
QVariant date(const std::optional<QDateTime> &value);
QVariant data(const std::optional<QByteArray> &value);

// Values read back. A column may hold anything SQLite allows; a value of another
// type than the column's reads as absent (a flag as false), never as an error.
std::optional<qint64> readInteger(const QVariant &value);
std::optional<QString> readString(const QVariant &value);
std::optional<QDateTime> readDate(const QVariant &value);
std::optional<QByteArray> readData(const QVariant &value);
bool readFlag(const QVariant &value);

} // namespace talvoro::sql
