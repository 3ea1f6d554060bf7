#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

// Small text and time helpers that the wire formats and keys depend on.
namespace talvoro::text {

// Strips Unicode white space and line breaks from both ends.
QString trimmed(const QString &text);

// True when nothing but white space and line breaks is left.
bool isBlank(const QString &text);

// What a reader counts as characters: grapheme clusters ("é" written as e plus a
// combining accent is one; a flag emoji is one).
qsizetype characterCount(const QString &text);

// Lower-case hexadecimal digits of SHA-256 / MD5 over the UTF-8 bytes.
QString sha256Hex(const QByteArray &bytes);
QString sha256Hex(const QString &text);
QString md5Hex(const QByteArray &bytes);
QString md5Hex(const QString &text);

// A fresh random UUID written in upper case without braces,
// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
QString newUuidText();
// Normalises a UUID text to that form; empty when it is not a UUID.
QString uuidText(const QString &text);

// Dates kept in JSON are seconds since 2001-01-01 00:00:00 UTC. Only dates within
// 10^14 s (about three million years) of then are read back: anything further, or
// not a number, is no date rather than one wrapped around.
double referenceSeconds(const QDateTime &date);
std::optional<QDateTime> fromReferenceSeconds(double seconds);

// Internet date-time (RFC 3339): "2024-05-06T07:08:09Z" or with an offset.
// With fractional seconds the fraction is required; without, it is refused.
enum class FractionalSeconds { without, with };
std::optional<QDateTime> parseIso8601(const QString &text, FractionalSeconds fraction);
// Either form.
std::optional<QDateTime> parseIso8601(const QString &text);
// UTC with "Z"; fractions as three digits.
QString formatIso8601(const QDateTime &date, FractionalSeconds fraction = FractionalSeconds::without);

} // namespace talvoro::text
