#pragma once

#include "Models/PlaybackPreference.h"
#include "Models/Word.h"

#include <QUuid>

namespace talvoro {

// One unit of a word, ready to be synthesised: the exact text, the catalog voice
// and the rate (always within 0.5 to 2.0).
struct ResolvedPlaybackUnit {
    ORVPlaybackUnit unit = ORVPlaybackUnit::word;
    QString text;
    TTSVoice voice;
    float rate = 1.0F;

    bool operator==(const ResolvedPlaybackUnit &) const = default;
};

size_t qHash(const ResolvedPlaybackUnit &unit, size_t seed = 0);

// A word reduced to what playback needs. Texts are kept as received; trimming
// happens when a unit's text is taken.
struct PlaybackWordSnapshot {
    QUuid localID;
    std::optional<qint64> remoteID;
    QString text;
    std::optional<QString> meaning; // the translations joined with "；"
    std::optional<QString> explanation;
    std::optional<QString> usageScenario;
    qint64 repeatCount = 1; // the profile's when it sets one, else the word's
    std::optional<WordPlaybackProfile> profile;
    std::optional<QList<QString>> legacyPlaybackItems;
    std::optional<QString> legacyVoiceEn;
    std::optional<QString> legacyVoiceZh;
    std::optional<double> legacySpeechRate;

    PlaybackWordSnapshot() = default;
    // Each snapshot gets a new local identifier.
    explicit PlaybackWordSnapshot(const ORVWord &word);

    // All four units in playing order, disabled ones included. A word's own profile
    // decides alone (an invalid one plays nothing); otherwise the word's older item
    // list, even when empty, else the preference's items. An item list that names
    // no unit means the four units in their natural order.
    QList<WordPlaybackUnit> effectiveUnits(const PlaybackPreference &preference) const;
    // The trimmed text that `unit` speaks; none when it is empty.
    std::optional<QString> textFor(ORVPlaybackUnit unit) const;
    // Text, voice and rate of an enabled unit; none when it is disabled or has
    // nothing to say. Voices that are not catalog voices of the unit's language
    // are passed over.
    std::optional<ResolvedPlaybackUnit> resolve(
        const WordPlaybackUnit &unit, const PlaybackPreference &preference, const TTSVoice &fallbackEnglishVoice) const;
    // The word's spoken units in order: the effective units that resolve.
    QList<ResolvedPlaybackUnit> plan(const PlaybackPreference &preference, const TTSVoice &fallbackEnglishVoice) const;
};

} // namespace talvoro
