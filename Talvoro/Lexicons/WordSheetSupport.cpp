#include "WordSheetSupport.h"

#include "Platform/Text.h"

namespace talvoro {

QList<QString> splitMeanings(const QString &text, QStringView separators)
{
    QList<QString> meanings;
    QString piece;
    const auto keep = [&meanings, &piece] {
        const QString meaning = text::trimmed(piece);
        if (!meaning.isEmpty())
            meanings.append(meaning);
        piece.clear();
    };
    for (const QChar c : text) {
        if (separators.contains(c))
            keep();
        else
            piece.append(c);
    }
    keep();
    return meanings;
}

} // namespace talvoro
