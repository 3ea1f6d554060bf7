#pragma once

#include "Models/PlaybackPreference.h"

#include <QJsonArray>
#include <QSet>
#include <QString>

#include <array>
#include <optional>

namespace talvoro {

// Whether a preference may be stored, accepted from the server or played with:
// version at least 1; items non-empty and each a unit wire value (repeats and any
// order allowed); an English catalog voice for English and a Chinese one for
// Chinese; the English, Chinese and spelling rates within 0.5 ... 2.0 (NaN is not).
// The other rates and the per-locale voices are not looked at.
bool isValid(const PlaybackPreference &preference);

// The parts of the preference a user changes. A pending change records the ones it
// touched, so that after a version conflict exactly those are laid over the
// server's current preference; every other member stays the server's.
enum class PlaybackPreferenceField {
    playbackItems,
    englishVoice,
    chineseVoice,
    englishRate,
    chineseRate,
    spellingRate
};
inline constexpr std::array allPlaybackPreferenceFields {PlaybackPreferenceField::playbackItems,
    PlaybackPreferenceField::englishVoice, PlaybackPreferenceField::chineseVoice, PlaybackPreferenceField::englishRate,
    PlaybackPreferenceField::chineseRate, PlaybackPreferenceField::spellingRate};

QString rawValue(PlaybackPreferenceField field);
// Exact, case-sensitive match of a raw value; nothing is trimmed.
std::optional<PlaybackPreferenceField> playbackPreferenceFieldFromRawValue(const QString &rawValue);

inline size_t qHash(PlaybackPreferenceField field, size_t seed = 0)
{
    return ::qHash(rawValue(field), seed);
}

// All six fields: what a save of every setting at once records.
const QSet<PlaybackPreferenceField> &everyPlaybackPreferenceField();

// A set of fields as a JSON array of raw values (in declaration order), and back.
// An unknown value makes the array undecodable (json::DecodingError).
QJsonArray encodeFields(const QSet<PlaybackPreferenceField> &fields);
QSet<PlaybackPreferenceField> decodeFields(const QJsonValue &value, const QString &path);

// `base` with the members that `fields` name taken from `local`.
PlaybackPreference rebased(
    const PlaybackPreference &base, const PlaybackPreference &local, const QSet<PlaybackPreferenceField> &fields);

} // namespace talvoro
