#pragma once

#include "Models/Coding.h"

// Payloads and bodies of the older endpoints, whose keys partly use snake_case.
namespace talvoro {

struct PreviewWord {
    QString text;
    std::optional<QString> meaning;

    static PreviewWord fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    // The text and the meaning joined by U+001F; equal words share it.
    QString id() const;
    bool operator==(const PreviewWord &) const = default;
};

struct SystemConfiguration {
    bool serverCacheEnabled = false;
    QList<PreviewWord> defaultPreviewWords;

    static SystemConfiguration fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const SystemConfiguration &) const = default;
};

// A word as the older word endpoints return it (read only).
struct RemoteWord {
    qint64 id = 0;
    QString wordText;
    std::optional<QString> meaning;
    std::optional<QString> context;

    static RemoteWord fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
};

// The body that creates or updates an older word (write only).
struct WordWriteRequest {
    QString wordText;
    std::optional<QString> meaning;
    std::optional<QString> context;
    QString clientID; // the local word's UUID text

    QJsonObject toJson() const;
};

// The body of the older per-user voice and cycle preference (write only).
struct PreferenceWriteRequest {
    QString voiceID;
    qint64 cycleCount = 0;

    QJsonObject toJson() const;
};

} // namespace talvoro
