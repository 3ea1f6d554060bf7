// Decoding and encoding a large word list through the models, against Qt's bare
// JSON parse (and write) of the same bytes, measured in the same run.
#include "Models/ApiResponse.h"
#include "Models/Word.h"

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <cstdio>

using namespace talvoro;

namespace {

using WordsEnvelope = ORVApiResponse<QList<ORVWord>>;

// Every optional field present, Chinese text throughout.
QByteArray envelopeText(int count)
{
    WordsEnvelope envelope;
    envelope.success = true;
    envelope.traceId = QStringLiteral("trace-0001");
    envelope.timestamp = QStringLiteral("2024-05-06T07:08:09Z");
    envelope.data.emplace();
    for (int i = 0; i < count; ++i) {
        WordPlaybackProfile profile = WordPlaybackProfile::makeDefault(i + 1);
        profile.updatedAt = QStringLiteral("2024-05-06T07:08:09Z");
        profile.units[0].voiceId = QStringLiteral("en-GB-SoniaNeural");
        profile.units[0].speechRate = 0.9;
        profile.units[2].voiceId = QStringLiteral("zh-CN-YunxiNeural");
        profile.units[2].speechRate = 1.1;
        envelope.data->append(ORVWord {i + 1, QStringLiteral("Vocabulary%1").arg(i),
            QStringLiteral("vocabulary%1").arg(i), QStringLiteral("vəˈkæbjələri"), QStringLiteral("vo-cab-u-lar-y"),
            {QStringLiteral("词汇"), QStringLiteral("词汇量"), QStringLiteral("语汇")},
            QStringLiteral("一种语言中所有词的总和，也指某人掌握的词语。"),
            QStringLiteral("阅读英文原著能帮助你扩大词汇量。"), profile, 3, 2, QStringLiteral("en-US-GuyNeural"),
            QStringLiteral("zh-CN-XiaoxiaoNeural"), QList<QString> {QStringLiteral("WORD"), QStringLiteral("SPELLING")},
            1.25, QStringLiteral("us")});
    }
    return json::serialize(envelope.toJson([](const QList<ORVWord> &words) { return coding::encodeList(words); }));
}

const QByteArray &text()
{
    static const QByteArray bytes = envelopeText(5000);
    return bytes;
}

WordsEnvelope decode(const QByteArray &bytes)
{
    return WordsEnvelope::fromJson(json::parse(bytes), &coding::decodeList<ORVWord>);
}

void bareParse(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(text()));
}

// The same model read with unchecked QJsonObject access: the floor that strict
// decoding is compared with when the ratio to the bare parse is judged.
ORVWord plainWord(const QJsonObject &o)
{
    ORVWord w;
    w.id = o.value(QLatin1String("id")).toInteger();
    w.wordDisplay = o.value(QLatin1String("wordDisplay")).toString();
    w.wordNormalized = o.value(QLatin1String("wordNormalized")).toString();
    w.ipa = o.value(QLatin1String("ipa")).toString();
    w.syllables = o.value(QLatin1String("syllables")).toString();
    for (const auto &t : o.value(QLatin1String("translationsZh")).toArray())
        w.translationsZh.append(t.toString());
    w.explanation = o.value(QLatin1String("explanation")).toString();
    w.usageScenario = o.value(QLatin1String("usageScenario")).toString();
    const QJsonObject p = o.value(QLatin1String("playbackProfile")).toObject();
    WordPlaybackProfile profile;
    profile.wordId = p.value(QLatin1String("wordId")).toInteger();
    profile.version = p.value(QLatin1String("version")).toInteger();
    profile.repeatCount = p.value(QLatin1String("repeatCount")).toInteger();
    profile.updatedAt = p.value(QLatin1String("updatedAt")).toString();
    for (const auto &uv : p.value(QLatin1String("units")).toArray()) {
        const QJsonObject u = uv.toObject();
        profile.units.append({*playbackUnitFromRawValue(u.value(QLatin1String("unit")).toString()),
            u.value(QLatin1String("enabled")).toBool(), u.value(QLatin1String("position")).toInteger(),
            u.value(QLatin1String("voiceId")).toString(), u.value(QLatin1String("speechRate")).toDouble(),
            u.value(QLatin1String("version")).toInteger()});
    }
    w.playbackProfile = profile;
    w.version = o.value(QLatin1String("version")).toInteger();
    w.repeatCount = o.value(QLatin1String("repeatCount")).toInteger();
    w.voiceEn = o.value(QLatin1String("voiceEn")).toString();
    w.voiceZh = o.value(QLatin1String("voiceZh")).toString();
    QList<QString> items;
    for (const auto &t : o.value(QLatin1String("playbackItems")).toArray())
        items.append(t.toString());
    w.playbackItems = items;
    w.speechRate = o.value(QLatin1String("speechRate")).toDouble();
    w.accent = o.value(QLatin1String("accent")).toString();
    return w;
}

void plainDecode(benchmark::State &state)
{
    for (auto _ : state) {
        const QJsonArray a = QJsonDocument::fromJson(text()).object().value(QLatin1String("data")).toArray();
        QList<ORVWord> words;
        words.reserve(a.size());
        for (const auto &v : a)
            words.append(plainWord(v.toObject()));
        benchmark::DoNotOptimize(words);
    }
}

void bareParseAndWrite(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(QJsonDocument::fromJson(text()).toJson(QJsonDocument::Compact));
}

void modelDecode(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(decode(text()));
}

void modelDecodeAndEncode(benchmark::State &state)
{
    for (auto _ : state) {
        const WordsEnvelope envelope = decode(text());
        benchmark::DoNotOptimize(
            json::serialize(envelope.toJson([](const QList<ORVWord> &words) { return coding::encodeList(words); })));
    }
}

} // namespace

BENCHMARK(bareParse)->Unit(benchmark::kMillisecond);
BENCHMARK(plainDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(modelDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(bareParseAndWrite)->Unit(benchmark::kMillisecond);
BENCHMARK(modelDecodeAndEncode)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Fail loudly rather than measure a document that does not decode.
    if (decode(text()).data->size() != 5000)
        return 1;
    std::printf("document: %lld bytes, 5000 words\n", static_cast<long long>(text().size()));
    return benchsupport::runBenchmarks(argc, argv,
        {{"unchecked decode / bare parse", "plainDecode", "bareParse"},
            {"decode / bare parse", "modelDecode", "bareParse"},
            {"decode+encode / bare parse+write", "modelDecodeAndEncode", "bareParseAndWrite"}});
}
