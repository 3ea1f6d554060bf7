#include "Playback/PlaybackWordSnapshot.h"

#include "Platform/Text.h"

#include <algorithm>

namespace talvoro {

namespace {

const QList<ORVPlaybackUnit> naturalOrder {allPlaybackUnits.begin(), allPlaybackUnits.end()};

bool isVoiceOfLanguage(const TTSVoice &voice, TTSVoiceLanguage wanted)
{
    const std::optional<TTSVoiceCategory> category = voice.category();
    return category && language(*category) == wanted;
}

// Written so that NaN ends up at the lower bound.
float clampedRate(double rate)
{
    if (!(rate > 0.5))
        return 0.5F;
    return float(std::min(rate, 2.0));
}

double preferenceRate(ORVPlaybackUnit unit, const PlaybackPreference &preference)
{
    switch (unit) {
    case ORVPlaybackUnit::word:
        return preference.speechRateEn;
    case ORVPlaybackUnit::spelling:
        return preference.spellingRate;
    case ORVPlaybackUnit::translation:
    case ORVPlaybackUnit::explanation:
        break;
    }
    return preference.speechRateZh;
}

} // namespace

size_t qHash(const ResolvedPlaybackUnit &unit, size_t seed)
{
    return qHashMulti(seed, unit.unit, unit.text, unit.voice, unit.rate);
}

PlaybackWordSnapshot::PlaybackWordSnapshot(const ORVWord &word)
    : localID(QUuid::createUuid())
    , remoteID(word.id)
    , text(word.wordDisplay)
    , meaning(word.translationsZh.join(QStringLiteral("；")))
    , explanation(word.explanation)
    , usageScenario(word.usageScenario)
    , repeatCount(word.playbackProfile && word.playbackProfile->repeatCount ? *word.playbackProfile->repeatCount
                                                                            : word.repeatCount)
    , profile(word.playbackProfile)
    , legacyPlaybackItems(word.playbackItems)
    , legacyVoiceEn(word.voiceEn)
    , legacyVoiceZh(word.voiceZh)
    , legacySpeechRate(word.speechRate)
{ }

QList<WordPlaybackUnit> PlaybackWordSnapshot::effectiveUnits(const PlaybackPreference &preference) const
{
    if (profile) {
        try {
            return profile->validated().units;
        } catch (const WordPlaybackProfileValidationError &) {
            return {};
        }
    }

    QList<ORVPlaybackUnit> listed;
    for (const QString &item : legacyPlaybackItems ? *legacyPlaybackItems : preference.playbackItems) {
        const std::optional<ORVPlaybackUnit> unit = playbackUnitFromRawValue(item);
        if (unit && !listed.contains(*unit))
            listed.append(*unit);
    }
    if (listed.isEmpty())
        listed = naturalOrder;

    QList<WordPlaybackUnit> units;
    for (const ORVPlaybackUnit unit : allPlaybackUnits) {
        WordPlaybackUnit entry;
        entry.unit = unit;
        const qsizetype place = listed.indexOf(unit);
        entry.enabled = place >= 0;
        entry.position = entry.enabled ? place + 1 : 5 + naturalOrder.indexOf(unit);
        units.append(entry);
    }
    std::stable_sort(units.begin(), units.end(),
        [](const WordPlaybackUnit &a, const WordPlaybackUnit &b) { return a.position < b.position; });
    return units;
}

std::optional<QString> PlaybackWordSnapshot::textFor(ORVPlaybackUnit unit) const
{
    QString spoken;
    switch (unit) {
    case ORVPlaybackUnit::word:
        spoken = text;
        break;
    case ORVPlaybackUnit::spelling:
        spoken = spokenSpelling(text);
        break;
    case ORVPlaybackUnit::translation:
        spoken = meaning.value_or(QString());
        break;
    case ORVPlaybackUnit::explanation: {
        QStringList parts;
        for (const std::optional<QString> &part : {explanation, usageScenario}) {
            const QString trimmedPart = part ? text::trimmed(*part) : QString();
            if (!trimmedPart.isEmpty())
                parts.append(trimmedPart);
        }
        spoken = parts.join(QStringLiteral("。"));
        break;
    }
    }
    spoken = text::trimmed(spoken);
    return spoken.isEmpty() ? std::nullopt : std::optional(spoken);
}

std::optional<ResolvedPlaybackUnit> PlaybackWordSnapshot::resolve(
    const WordPlaybackUnit &unit, const PlaybackPreference &preference, const TTSVoice &fallbackEnglishVoice) const
{
    if (!unit.enabled)
        return std::nullopt;
    const std::optional<QString> spoken = textFor(unit.unit);
    if (!spoken)
        return std::nullopt;

    const TTSVoiceLanguage wanted = voiceLanguage(unit.unit);
    const bool english = wanted == TTSVoiceLanguage::english;
    std::optional<TTSVoice> voice;
    for (const std::optional<QString> &candidate : {unit.voiceId, english ? legacyVoiceEn : legacyVoiceZh,
             std::optional(english ? preference.voiceEn : preference.voiceZh)}) {
        const std::optional<TTSVoice> found = TTSVoice::catalogVoice(candidate);
        if (found && isVoiceOfLanguage(*found, wanted)) {
            voice = found;
            break;
        }
    }
    if (!voice) {
        if (!english)
            voice = TTSVoice::defaultChinese();
        else if (isVoiceOfLanguage(fallbackEnglishVoice, TTSVoiceLanguage::english))
            voice = fallbackEnglishVoice;
        else
            voice = TTSVoice::defaultEnglish();
    }

    const double rate = unit.speechRate.value_or(legacySpeechRate.value_or(preferenceRate(unit.unit, preference)));
    return ResolvedPlaybackUnit {unit.unit, *spoken, *voice, clampedRate(rate)};
}

QList<ResolvedPlaybackUnit> PlaybackWordSnapshot::plan(
    const PlaybackPreference &preference, const TTSVoice &fallbackEnglishVoice) const
{
    QList<ResolvedPlaybackUnit> resolved;
    for (const WordPlaybackUnit &unit : effectiveUnits(preference)) {
        if (std::optional<ResolvedPlaybackUnit> entry = resolve(unit, preference, fallbackEnglishVoice))
            resolved.append(std::move(*entry));
    }
    return resolved;
}

} // namespace talvoro
