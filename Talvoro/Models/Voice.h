#pragma once

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace talvoro {

enum class TTSVoiceLanguage { english, chinese };
inline constexpr std::array allVoiceLanguages {TTSVoiceLanguage::english, TTSVoiceLanguage::chinese};
QString rawValue(TTSVoiceLanguage language);

// A locale of the catalog; its raw value is the locale code.
enum class TTSVoiceCategory {
    englishAustralia,
    englishCanada,
    englishUnitedKingdom,
    englishIndia,
    englishUnitedStates,
    chineseMandarin,
    chineseCantonese,
    chineseTaiwan,
};
inline constexpr std::array allVoiceCategories {TTSVoiceCategory::englishAustralia, TTSVoiceCategory::englishCanada,
    TTSVoiceCategory::englishUnitedKingdom, TTSVoiceCategory::englishIndia, TTSVoiceCategory::englishUnitedStates,
    TTSVoiceCategory::chineseMandarin, TTSVoiceCategory::chineseCantonese, TTSVoiceCategory::chineseTaiwan};

QString localeCode(TTSVoiceCategory category);
// Exact, case-sensitive match of one of the eight codes.
std::optional<TTSVoiceCategory> voiceCategoryFromLocaleCode(const QString &localeCode);
TTSVoiceLanguage language(TTSVoiceCategory category);
// The heading of the category's voice list.
QString title(TTSVoiceCategory category);
// The categories of a language that have catalog voices, in case order.
QList<TTSVoiceCategory> categories(TTSVoiceLanguage language);

// A voice of the speech service that the user may choose.
struct TTSVoice {
    QString id;
    QString displayName;
    QString locale;

    // The fixed catalog of 75 voices; its order is the order of every list of voices.
    static const QList<TTSVoice> &catalog();
    // The first catalog voice with exactly this id; none for an absent or unknown id.
    static std::optional<TTSVoice> catalogVoice(const std::optional<QString> &id);
    static const TTSVoice &defaultEnglish();
    static const TTSVoice &defaultChinese();
    // Catalog voices of a language, of one category when given (none when the
    // category belongs to the other language).
    static QList<TTSVoice> voices(TTSVoiceLanguage language, std::optional<TTSVoiceCategory> category = std::nullopt);

    // None for a locale outside the eight categories.
    std::optional<TTSVoiceCategory> category() const { return voiceCategoryFromLocaleCode(locale); }

    bool operator==(const TTSVoice &) const = default;
};

inline size_t qHash(TTSVoiceLanguage language, size_t seed = 0)
{
    return ::qHash(int(language), seed);
}
inline size_t qHash(TTSVoiceCategory category, size_t seed = 0)
{
    return ::qHash(int(category), seed);
}
inline size_t qHash(const TTSVoice &voice, size_t seed = 0)
{
    return qHashMulti(seed, voice.id, voice.displayName, voice.locale);
}

} // namespace talvoro
