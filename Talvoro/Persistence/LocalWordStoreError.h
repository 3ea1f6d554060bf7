#pragma once

#include "Platform/AppError.h"

namespace talvoro {

// What the local store refuses to do, each with the text a screen shows.
class LocalWordStoreError final : public AppError {
public:
    enum class Kind { unavailable, invalidOwnerKey, invalidPlaylistID, invalidRemoteVersion };

    explicit LocalWordStoreError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// SQLite itself failed (a statement, a transaction, the file); what it said is kept
// for the logs and shown after a fixed Chinese lead-in.
class LocalStoreDatabaseError final : public AppError {
public:
    explicit LocalStoreDatabaseError(QString detail)
        : m_detail(std::move(detail))
    { }
    const QString &detail() const { return m_detail; }
    QString description() const override;

private:
    QString m_detail;
};

} // namespace talvoro
