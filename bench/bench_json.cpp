// Decoding a large word list through the strict helpers against plain QJsonDocument
// access, to keep the cost of strictness visible.
#include "Platform/Json.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray wordList(int count)
{
    QJsonArray words;
    for (int i = 0; i < count; ++i) {
        words.append(QJsonObject {{QStringLiteral("id"), i + 1},
            {QStringLiteral("wordDisplay"), QStringLiteral("word%1").arg(i)},
            {QStringLiteral("translationsZh"), QJsonArray {QStringLiteral("词"), QStringLiteral("单词")}},
            {QStringLiteral("version"), 3}});
    }
    return QJsonDocument(QJsonObject {{QStringLiteral("words"), words}}).toJson(QJsonDocument::Compact);
}

struct Word {
    qint64 id;
    QString display;
    QList<QString> translations;
    qint64 version;
};

void strictDecoding(benchmark::State &state)
{
    const QByteArray text = wordList(int(state.range(0)));
    for (auto _ : state) {
        const talvoro::json::ObjectReader root(talvoro::json::parseObject(text));
        auto words = root.list(QStringLiteral("words"), [](const QJsonValue &value, const QString &path) {
            const talvoro::json::ObjectReader r(value, path);
            return Word {r.integer(QStringLiteral("id")), r.string(QStringLiteral("wordDisplay")),
                r.stringList(QStringLiteral("translationsZh")), r.integer(QStringLiteral("version"))};
        });
        benchmark::DoNotOptimize(words);
    }
}

void plainDecoding(benchmark::State &state)
{
    const QByteArray text = wordList(int(state.range(0)));
    for (auto _ : state) {
        const QJsonArray array = QJsonDocument::fromJson(text).object().value(QStringLiteral("words")).toArray();
        QList<Word> words;
        for (const QJsonValue &value : array) {
            const QJsonObject o = value.toObject();
            QList<QString> translations;
            for (const QJsonValue &t : o.value(QStringLiteral("translationsZh")).toArray())
                translations.append(t.toString());
            words.append(
                Word {o.value(QStringLiteral("id")).toInteger(), o.value(QStringLiteral("wordDisplay")).toString(),
                    translations, o.value(QStringLiteral("version")).toInteger()});
        }
        benchmark::DoNotOptimize(words);
    }
}

} // namespace

BENCHMARK(strictDecoding)->Arg(1000);
BENCHMARK(plainDecoding)->Arg(1000);
BENCHMARK_MAIN();
