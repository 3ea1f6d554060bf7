#pragma once

#include "Models/Coding.h"
#include "Models/PlaybackUnit.h"

#include "Platform/AppError.h"

namespace talvoro {

// One unit of a word's own playback plan. A voice or rate that is absent is
// inherited from the global preference.
struct WordPlaybackUnit {
    ORVPlaybackUnit unit = ORVPlaybackUnit::word;
    bool enabled = true;
    qint64 position = 1;
    std::optional<QString> voiceId;
    std::optional<double> speechRate;
    qint64 version = 1;

    static WordPlaybackUnit fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;
    bool operator==(const WordPlaybackUnit &) const = default;
};

class WordPlaybackProfileValidationError final : public AppError {
public:
    enum class Kind {
        invalidVersion,
        invalidRepeatCount,
        invalidUnitSet,
        invalidPositions,
        allUnitsDisabled,
        invalidSpeechRate,
        invalidVoice,
    };

    explicit WordPlaybackProfileValidationError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// A word's own playback plan: which of the four units play, in which order, with
// which voices and rates, and how often the word repeats (absent: the word's own
// repeat count).
struct WordPlaybackProfile {
    qint64 wordId = 0;
    qint64 version = 1;
    std::optional<qint64> repeatCount;
    QList<WordPlaybackUnit> units;
    QString updatedAt; // the server's text, never interpreted

    static WordPlaybackProfile fromJson(const QJsonValue &value, const QString &path = QStringLiteral("$"));
    QJsonObject toJson() const;

    // The profile with its units in position order, or the first rule it breaks
    // (thrown as WordPlaybackProfileValidationError).
    WordPlaybackProfile validated() const;
    // All four units enabled in their natural order, nothing overridden.
    static WordPlaybackProfile makeDefault(qint64 wordId);

    bool operator==(const WordPlaybackProfile &) const = default;
};

size_t qHash(const WordPlaybackUnit &unit, size_t seed = 0);
size_t qHash(const WordPlaybackProfile &profile, size_t seed = 0);

} // namespace talvoro
