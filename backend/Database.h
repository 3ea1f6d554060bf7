#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <stdexcept>

// The server's own SQLite file. Every statement that fails throws DatabaseError; a
// handler's writes run in one transaction, so a failure leaves the file as it was.
namespace standin {

class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Database {
public:
    Database() = default;
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // Opens or creates the file and brings its schema up to date. True when the
    // file was new, so the caller seeds it.
    bool open(const QString &path);

    QSqlQuery run(const QString &sql, const QVariantList &binds = {});
    // The first column of the first row; an invalid QVariant when there is no row.
    QVariant value(const QString &sql, const QVariantList &binds = {});

    // Runs work in a transaction: committed when it returns, rolled back when it throws.
    template<typename Work>
    auto transaction(Work &&work)
    {
        begin();
        try {
            if constexpr (std::is_void_v<decltype(work())>) {
                work();
                commit();
            } else {
                auto result = work();
                commit();
                return result;
            }
        } catch (...) {
            rollback();
            throw;
        }
    }

private:
    void begin();
    void commit();
    void rollback();

    QString m_connection;
};

} // namespace standin
