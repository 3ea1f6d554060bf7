#pragma once

#include "Platform/Json.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

// Shared by the fuzz targets: the input as Qt bytes, a quiet Qt log, and the check
// that what a reader accepted is written back in a form it reads the same.
namespace fuzzsupport {

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

// Readers log every refusal; at thousands of inputs a second that is only noise.
// Set while the target starts, before libFuzzer runs any input.
inline const bool qtLogSilenced
    = (qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) { }), true);

// The input as a JSON document, or none when the strict reader refuses it.
inline std::optional<QJsonValue> parseJson(const uint8_t *data, size_t size)
{
    try {
        return talvoro::json::parse(bytes(data, size));
    } catch (const talvoro::json::DecodingError &) {
        return std::nullopt;
    }
}

// Stops the run so that libFuzzer keeps the input as a crash.
[[noreturn]] inline void fail(const char *what, const QByteArray &detail = {})
{
    std::fprintf(stderr, "fuzz check failed: %s\n%s\n", what, detail.constData());
    std::abort();
}

// A value `decode` accepted is encoded, decoded again and encoded again: the second
// decoding must succeed and both encodings must agree, or the app would store or
// send something it then cannot read (or reads differently).
template<typename Value, typename Decode, typename Encode>
void checkRoundTrip(const Value &value, const Decode &decode, const Encode &encode)
{
    QByteArray first;
    try {
        first = talvoro::json::serialize(encode(value));
    } catch (const talvoro::json::EncodingError &) {
        return; // refused on the way out, never written
    }
    QByteArray second;
    try {
        second = talvoro::json::serialize(encode(decode(talvoro::json::parse(first))));
    } catch (const talvoro::json::DecodingError &error) {
        fail("an encoded value does not decode", first + "\n" + error.description().toUtf8());
    }
    if (first != second)
        fail("an encoded value decodes differently", first + "\n" + second);
}

} // namespace fuzzsupport
