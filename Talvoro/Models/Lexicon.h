#pragma once

#include "Models/Word.h"

namespace talvoro {

// An entry of the public lexicon list.
struct PublicLexiconSummary {
    qint64 id = 0;
    QString name;
    std::optional<QString> description;
    std::optional<QString> category;
    qint64 wordCount = 0;
    QString updatedAt; // the server's text

    static PublicLexiconSummary fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
};

// A public lexicon with its words in the server's order.
struct PublicLexiconDetail {
    qint64 id = 0;
    QString name;
    std::optional<QString> description;
    std::optional<QString> category;
    QList<ORVWord> words;

    static PublicLexiconDetail fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
};

// A private lexicon of the user; its version guards changes of its word order.
struct UserLexicon {
    qint64 id = 0;
    QString name;
    std::optional<QString> description;
    qint64 version = 0;
    qint64 wordCount = 0;
    QString updatedAt; // the server's text

    static UserLexicon fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
};

struct UserLexiconReorderItem {
    qint64 wordId = 0;
    qint64 position = 0;

    static UserLexiconReorderItem fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const UserLexiconReorderItem &) const = default;
};

// The word order of a lexicon as the server stored it, with the lexicon's new version.
struct UserLexiconReorderReceipt {
    qint64 lexiconId = 0;
    qint64 version = 0;
    QList<UserLexiconReorderItem> items;

    static UserLexiconReorderReceipt fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const UserLexiconReorderReceipt &) const = default;
};

} // namespace talvoro
