#include "Platform/Text.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QTimeZone>
#include <QUuid>

#include <cmath>

namespace talvoro::text {

namespace {
// 2001-01-01T00:00:00Z in Unix milliseconds.
constexpr qint64 referenceEpochMs = 978307200000LL;
} // namespace

// QChar::isSpace covers the Unicode separators (Zs, Zl, Zp), tab, the line breaks
// U+000A to U+000D and U+0085: exactly white space plus newlines.
QString trimmed(const QString &text)
{
    return text.trimmed();
}

bool isBlank(const QString &text)
{
    return trimmed(text).isEmpty();
}

qsizetype characterCount(const QString &text)
{
    if (text.isEmpty())
        return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

QString sha256Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString sha256Hex(const QString &text)
{
    return sha256Hex(text.toUtf8());
}

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString md5Hex(const QString &text)
{
    return md5Hex(text.toUtf8());
}

QString newUuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString uuidText(const QString &text)
{
    static const QRegularExpression form(
        QStringLiteral("^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    if (!form.match(text).hasMatch())
        return {};
    return text.toUpper();
}

double referenceSeconds(const QDateTime &date)
{
    return double(date.toMSecsSinceEpoch() - referenceEpochMs) / 1000.0;
}

std::optional<QDateTime> fromReferenceSeconds(double seconds)
{
    // Far beyond any real date, and far from where a millisecond count overflows.
    if (!(std::abs(seconds) <= 1e14))
        return std::nullopt;
    const qint64 ms = qint64(std::llround(seconds * 1000.0)) + referenceEpochMs;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
}

std::optional<QDateTime> parseIso8601(const QString &text, FractionalSeconds fraction)
{
    static const QRegularExpression form(QStringLiteral(
        "^(\\d{4})-(\\d{2})-(\\d{2})[Tt](\\d{2}):(\\d{2}):(\\d{2})(\\.(\\d+))?([Zz]|([+-])(\\d{2}):(\\d{2}))$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const bool hasFraction = m.capturedLength(7) > 0;
    if (hasFraction != (fraction == FractionalSeconds::with))
        return std::nullopt;

    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid())
        return std::nullopt;

    int offsetSeconds = 0;
    if (m.capturedLength(10) > 0) {
        const int hours = m.captured(11).toInt();
        const int minutes = m.captured(12).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        offsetSeconds = (hours * 3600 + minutes * 60) * (m.captured(10) == QLatin1String("-") ? -1 : 1);
    }
    QDateTime result(date, time, Qt::UTC);
    result = result.addSecs(-offsetSeconds);
    if (hasFraction) {
        // Milliseconds: digits past the third are cut, as the platform parser does.
        const QString digits = (m.captured(8) + QStringLiteral("00")).left(3);
        result = result.addMSecs(digits.toInt());
    }
    return result;
}

std::optional<QDateTime> parseIso8601(const QString &text)
{
    if (auto date = parseIso8601(text, FractionalSeconds::with))
        return date;
    return parseIso8601(text, FractionalSeconds::without);
}

QString formatIso8601(const QDateTime &date, FractionalSeconds fraction)
{
    const QDateTime utc = date.toUTC();
    return utc.toString(fraction == FractionalSeconds::with ? QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'")
                                                            : QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"));
}

} // namespace talvoro::text
