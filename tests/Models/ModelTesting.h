#pragma once

#include "Platform/Json.h"

#include <QTest>

#include <initializer_list>
#include <utility>

namespace modeltesting {

// `base` with each (from, to) replacement made once; every `from` must occur.
inline QByteArray edited(const char *base, std::initializer_list<std::pair<const char *, const char *>> edits = {})
{
    QString text = QString::fromUtf8(base);
    for (const auto &[from, to] : edits) {
        const QString needle = QString::fromUtf8(from);
        if (!text.contains(needle))
            qFatal("test text lacks %s", from);
        text.replace(text.indexOf(needle), needle.size(), QString::fromUtf8(to));
    }
    return text.toUtf8();
}

// Decodes `text` as T. With an empty `reencoded` the text must be refused; otherwise
// it must decode, encode to `reencoded` (as JSON, key order aside) and decode again
// from its own text to an equal encoding.
template<typename T>
void checkDecoding(const QByteArray &text, const QByteArray &reencoded)
{
    try {
        const T value = T::fromJson(talvoro::json::parse(text));
        QVERIFY2(!reencoded.isEmpty(), "decoded a value that must be refused");
        const QJsonObject written = value.toJson();
        QCOMPARE(written, talvoro::json::parseObject(reencoded));
        QCOMPARE(T::fromJson(talvoro::json::parse(talvoro::json::serialize(written))).toJson(), written);
    } catch (const talvoro::json::DecodingError &error) {
        QVERIFY2(reencoded.isEmpty(), qPrintable(error.description()));
    }
}

// Rows of one table that decodes several types: each row names the check for its type.
using DecodingCheck = void (*)(const QByteArray &, const QByteArray &);

} // namespace modeltesting

// Declared before the first QFETCH or addColumn of it, which need it complete.
Q_DECLARE_METATYPE(modeltesting::DecodingCheck)

namespace modeltesting {

inline void decodingColumns()
{
    QTest::addColumn<DecodingCheck>("check");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("reencoded"); // empty: refused
}

template<typename T>
void decodingRow(const char *name, const QByteArray &text, const QByteArray &reencoded)
{
    QTest::newRow(name) << DecodingCheck(&checkDecoding<T>) << text << reencoded;
}

inline void runDecodingRow()
{
    QFETCH(DecodingCheck, check);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, reencoded);
    check(text, reencoded);
}

} // namespace modeltesting
