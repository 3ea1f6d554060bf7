#include "Models/PlaybackUnit.h"

#include <QStringList>
#include <QTextBoundaryFinder>

#include <unicode/uchar.h>

namespace talvoro {

QString rawValue(ORVPlaybackUnit unit)
{
    switch (unit) {
    case ORVPlaybackUnit::word:
        return QStringLiteral("WORD");
    case ORVPlaybackUnit::spelling:
        return QStringLiteral("SPELLING");
    case ORVPlaybackUnit::translation:
        return QStringLiteral("TRANSLATION_ZH");
    case ORVPlaybackUnit::explanation:
        break;
    }
    return QStringLiteral("EXPLANATION");
}

std::optional<ORVPlaybackUnit> playbackUnitFromRawValue(const QString &value)
{
    for (const ORVPlaybackUnit unit : allPlaybackUnits) {
        if (rawValue(unit) == value)
            return unit;
    }
    return std::nullopt;
}

QString title(ORVPlaybackUnit unit)
{
    switch (unit) {
    case ORVPlaybackUnit::word:
        return QStringLiteral("英文单词");
    case ORVPlaybackUnit::spelling:
        return QStringLiteral("逐字母拼写");
    case ORVPlaybackUnit::translation:
        return QStringLiteral("中文译文");
    case ORVPlaybackUnit::explanation:
        break;
    }
    return QStringLiteral("详细解释与场景");
}

QString symbolName(ORVPlaybackUnit unit)
{
    switch (unit) {
    case ORVPlaybackUnit::word:
        return QStringLiteral("character.book.closed.fill");
    case ORVPlaybackUnit::spelling:
        return QStringLiteral("textformat.abc");
    case ORVPlaybackUnit::translation:
        return QStringLiteral("character.bubble.fill");
    case ORVPlaybackUnit::explanation:
        break;
    }
    return QStringLiteral("doc.text.fill");
}

TTSVoiceLanguage voiceLanguage(ORVPlaybackUnit unit)
{
    return unit == ORVPlaybackUnit::word ? TTSVoiceLanguage::english : TTSVoiceLanguage::chinese;
}

namespace {

// The user-perceived characters of `text` whose first code point is alphabetic
// (letters of any script; digits, blanks, apostrophes and hyphens are not).
QStringList letters(const QString &text)
{
    QStringList result;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = finder.toNextBoundary();
        if (end <= start)
            end = text.size();
        const QStringView character = QStringView(text).sliced(start, end - start);
        const char32_t first = character.toUcs4().value(0);
        if (u_hasBinaryProperty(UChar32(first), UCHAR_ALPHABETIC))
            result.append(character.toString());
        start = end;
    }
    return result;
}

} // namespace

QString spokenSpelling(const QString &text)
{
    QStringList spoken = letters(text);
    for (QString &letter : spoken)
        letter = letter.toUpper(); // full mapping: "ß" becomes "SS"
    return spoken.join(QLatin1Char(' '));
}

QString spellingDisplay(const QString &text)
{
    return letters(text).join(QStringLiteral(" - "));
}

} // namespace talvoro
