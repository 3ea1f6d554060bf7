// A cache-first read answered from a fresh 200 KB entry, against reading and decoding
// the same file by hand. The difference is the price of the store's worker thread,
// its checks and the two thread hops.
#include "AwaitTask.h"

#include "Networking/APICacheManager.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Platform/Text.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

using namespace talvoro;

namespace {

QList<QString> decodeWords(const QJsonValue &value, const QString &path)
{
    return json::ObjectReader::decodeArray(json::toArray(value, path), path, [](const QJsonValue &v, const QString &p) {
        return json::ObjectReader(v, p).string(QStringLiteral("wordDisplay"));
    });
}

struct Setup {
    QTemporaryDir dir;
    APICacheManager cache {dir.filePath(QStringLiteral("APICacheV2"))};
    NetworkTransfer transfer;
    ORVMobileAPIClient client {
        transfer, cache, [] { return std::optional(QUrl(QStringLiteral("https://127.0.0.1:1"))); }};
    QString file;

    Setup()
    {
        QJsonArray words;
        while (QJsonDocument(words).toJson(QJsonDocument::Compact).size() < 200 * 1024)
            words.append(QJsonObject {{QStringLiteral("wordDisplay"), QStringLiteral("word%1").arg(words.size())},
                {QStringLiteral("translationsZh"), QJsonArray {QStringLiteral("单词"), QStringLiteral("词语")}}});
        const QByteArray body
            = QJsonDocument(QJsonObject {{QStringLiteral("success"), true}, {QStringLiteral("data"), words}})
                  .toJson(QJsonDocument::Compact);
        const CacheIdentity identity = client.requestContext(QStringLiteral("/api/v1/public/lexicons"), std::nullopt);
        const auto token = testsupport::awaitResult(cache.beginRequest(identity.key, identity.scope));
        testsupport::awaitResult(cache.store(body, token, 1e9, 1e9));
        file = QDir(cache.directory()).filePath(APICacheManager::fileName(identity));
    }
};

Setup &setup()
{
    static Setup s;
    return s;
}

void cacheFirstRead(benchmark::State &state)
{
    Setup &s = setup();
    for (auto _ : state) {
        auto words = testsupport::awaitResult(
            s.client.send<QList<QString>>(QStringLiteral("/api/v1/public/lexicons"), QStringLiteral("GET"),
                std::nullopt, std::nullopt, APIRequestCachePolicy::cacheFirst(300, 604800), &decodeWords));
        benchmark::DoNotOptimize(words);
    }
}

void directRead(benchmark::State &state)
{
    Setup &s = setup();
    for (auto _ : state) {
        QFile file(s.file);
        file.open(QIODevice::ReadOnly);
        const QJsonObject envelope = QJsonDocument::fromJson(file.readAll()).object();
        const QByteArray payload
            = QByteArray::fromBase64(envelope.value(QStringLiteral("payload")).toString().toLatin1());
        auto words = ORVMobileAPIClient::decodePayload<QList<QString>>(payload, &decodeWords);
        benchmark::DoNotOptimize(words);
    }
}

} // namespace

BENCHMARK(cacheFirstRead)->Unit(benchmark::kMicrosecond);
BENCHMARK(directRead)->Unit(benchmark::kMicrosecond);

TALVORO_QT_BENCHMARK_MAIN({"cache-first read / reading the file by hand", "cacheFirstRead", "directRead"})
