#pragma once

#include "Models/WordPlaybackProfile.h"

#include <QSet>

namespace talvoro {

// A word as the backend serves it. The older per-word voice, items, rate and accent
// fields are kept as received; playback decides how they combine with the profile.
struct ORVWord {
    qint64 id = 0;
    QString wordDisplay;
    QString wordNormalized;
    std::optional<QString> ipa;
    std::optional<QString> syllables;
    QList<QString> translationsZh;
    std::optional<QString> explanation;
    std::optional<QString> usageScenario;
    std::optional<WordPlaybackProfile> playbackProfile;
    qint64 version = 1;
    qint64 repeatCount = 1;
    std::optional<QString> voiceEn;
    std::optional<QString> voiceZh;
    std::optional<QList<QString>> playbackItems;
    std::optional<double> speechRate;
    std::optional<QString> accent;

    // A missing or null "version" or "repeatCount" is 1, so a re-encoded word carries it.
    static ORVWord fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const ORVWord &) const = default;
};

size_t qHash(const ORVWord &word, size_t seed = 0);

// The optional word contents an edit may clear; the raw value is the wire value.
enum class ORVWordOptionalField { ipa, syllables, explanation, usageScenario };
inline constexpr std::array allWordOptionalFields {ORVWordOptionalField::ipa, ORVWordOptionalField::syllables,
    ORVWordOptionalField::explanation, ORVWordOptionalField::usageScenario};
QString rawValue(ORVWordOptionalField field);
std::optional<ORVWordOptionalField> wordOptionalFieldFromRawValue(const QString &rawValue);
inline size_t qHash(ORVWordOptionalField field, size_t seed = 0)
{
    return ::qHash(int(field), seed);
}

class UserWordUpdateValidationError final : public AppError {
public:
    enum class Kind { invalidVersion, emptyUpdate, ambiguousClear };

    explicit UserWordUpdateValidationError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;
    bool operator==(const UserWordUpdateValidationError &other) const { return m_kind == other.m_kind; }

private:
    Kind m_kind;
};

// One edit of a word's content: the fields to set (an empty text counts as set)
// and the optional fields to clear, against the version the edit started from.
struct UserWordUpdateRequest {
    qint64 baseVersion = 0;
    std::optional<QString> wordDisplay;
    std::optional<QString> ipa;
    std::optional<QString> syllables;
    std::optional<QList<QString>> translationsZh;
    std::optional<QString> explanation;
    std::optional<QString> usageScenario;
    QSet<ORVWordOptionalField> clearFields;

    // This request, or the first inconsistency as a UserWordUpdateValidationError.
    UserWordUpdateRequest validated() const;
    bool operator==(const UserWordUpdateRequest &) const = default;
};

} // namespace talvoro
