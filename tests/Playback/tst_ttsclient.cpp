#include "AwaitTask.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"

#include "Platform/NetworkTransfer.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/SpeechCacheKey.h"
#include "Playback/TTSNetworkManager.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

Q_DECLARE_METATYPE(ScriptedResponse)
Q_DECLARE_METATYPE(TTSError::Kind)

namespace {

const QString fetchPath = QStringLiteral("/api/v1/tts/fetch");
const QString jenny = QStringLiteral("en-US-JennyNeural");
const QByteArray clipBytes("ID3\x04\x00 speech", 13);

ScriptedResponse audioAnswer(const QByteArray &body, const QByteArray &contentType = "audio/mpeg")
{
    ScriptedResponse response;
    response.headers = {{"Content-Type", contentType}};
    response.body = body;
    return response;
}

ScriptedResponse urlsAnswer(const QStringList &urls)
{
    return ScriptedResponse::json(200,
        QJsonDocument(
            QJsonObject {{"success", true}, {"data", QJsonObject {{"audio_urls", QJsonArray::fromStringList(urls)}}}})
            .toJson(QJsonDocument::Compact));
}

} // namespace

class TTSNetworkManagerTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<AudioCacheManager> m_cache;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<NetworkTransfer> m_transfer;
    std::unique_ptr<TTSNetworkManager> m_client;
    std::optional<QUrl> m_baseURL;

    QString cachedPath(const QString &key) const { return QDir(m_cache->cacheDirectory()).filePath(key + ".mp3"); }
    QByteArray cachedBytes(const QString &key) const
    {
        QFile file(cachedPath(key));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void writeCached(const QString &key, const QByteArray &bytes) const { writeFileAtomically(cachedPath(key), bytes); }
    void useCacheCap(qint64 cap)
    {
        m_cache = std::make_unique<AudioCacheManager>(AppDirectories::under(m_root->path()), cap);
        m_client = std::make_unique<TTSNetworkManager>(*m_transfer, *m_cache, [this] { return m_baseURL; });
    }
    std::optional<TTSError> fetchError(const QString &text, std::optional<QString> token = QStringLiteral("token-1"))
    {
        return awaitError<TTSError>(m_client->fetchAudio(text, jenny, std::move(token)));
    }

private Q_SLOTS:
    void init()
    {
        m_root = std::make_unique<QTemporaryDir>();
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_transfer = std::make_unique<NetworkTransfer>();
        // A path on the base URL is replaced by the endpoint's own.
        m_baseURL = m_server->url(QStringLiteral("/mobile/v2/"));
        useCacheCap(AudioCacheManager::defaultMaxCacheSizeBytes);
    }

    void sendsTheTrimmedTextWithTheBearerTokenAndCachesTheAudio_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::newRow("audio/mpeg") << QByteArray("audio/mpeg");
        QTest::newRow("Audio/MPEG") << QByteArray("Audio/MPEG");
        QTest::newRow("audio/wav with parameter") << QByteArray("audio/wav; rate=24000");
    }
    void sendsTheTrimmedTextWithTheBearerTokenAndCachesTheAudio()
    {
        QFETCH(QByteArray, contentType);
        m_server->route("POST", fetchPath, audioAnswer(clipBytes, contentType));

        QCOMPARE(awaitResult(m_client->fetchAudio(QStringLiteral("  apple 苹果\n"), jenny, QStringLiteral("token-1"))),
            clipBytes);

        QCOMPARE(m_server->requestCount(), 1);
        const RecordedRequest request = m_server->requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, fetchPath);
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("Authorization"), QByteArray("Bearer token-1"));
        QCOMPARE(QJsonDocument::fromJson(request.body).object(),
            (QJsonObject {{"voice_id", jenny}, {"text_segments", QJsonArray {QStringLiteral("apple 苹果")}}}));
        QCOMPARE(cachedBytes(SpeechCacheKey::sha256Key(QStringLiteral("apple 苹果"), jenny)), clipBytes);
    }

    void aUrlAnswerDownloadsOnlyTheFirstUrlWithoutCredentials()
    {
        m_server->route("POST", fetchPath,
            urlsAnswer({m_server->url(QStringLiteral("/clips/1.mp3")).toString(),
                m_server->url(QStringLiteral("/clips/2.mp3")).toString()}));
        m_server->route("GET", QStringLiteral("/clips/1.mp3"), audioAnswer(clipBytes, "text/plain"));
        m_server->route("GET", QStringLiteral("/clips/2.mp3"), audioAnswer("the second clip"));

        QCOMPARE(
            awaitResult(m_client->fetchAudio(QStringLiteral("apple"), jenny, QStringLiteral("token-1"))), clipBytes);

        QCOMPARE(m_server->requestCount(), 2);
        const RecordedRequest download = m_server->requests().at(1);
        QCOMPARE(download.method, QByteArray("GET"));
        QCOMPARE(download.path, QStringLiteral("/clips/1.mp3"));
        QVERIFY(!download.hasHeader("Authorization"));
        QCOMPARE(cachedBytes(SpeechCacheKey::sha256Key(QStringLiteral("apple"), jenny)), clipBytes);
    }

    void aCachedClipNeedsNeitherNetworkNorToken_data()
    {
        QTest::addColumn<bool>("legacyOnly");
        QTest::newRow("current key") << false;
        QTest::newRow("older key only, copied to the current key") << true;
    }
    void aCachedClipNeedsNeitherNetworkNorToken()
    {
        QFETCH(bool, legacyOnly);
        const QString current = SpeechCacheKey::sha256Key(QStringLiteral("apple"), jenny);
        writeCached(legacyOnly ? SpeechCacheKey::legacyMD5Key(QStringLiteral("apple"), jenny) : current, clipBytes);

        QCOMPARE(awaitResult(m_client->fetchAudio(QStringLiteral(" apple "), jenny, std::nullopt)), clipBytes);

        QCOMPARE(m_server->requestCount(), 0);
        QCOMPARE(cachedBytes(current), clipBytes);
    }

    void anEmptyCachedFileIsFetchedAgain()
    {
        const QString current = SpeechCacheKey::sha256Key(QStringLiteral("apple"), jenny);
        writeCached(current, QByteArray());
        m_server->route("POST", fetchPath, audioAnswer(clipBytes));

        QCOMPARE(
            awaitResult(m_client->fetchAudio(QStringLiteral("apple"), jenny, QStringLiteral("token-1"))), clipBytes);
        QCOMPARE(m_server->requestCount(), 1);
        QCOMPARE(cachedBytes(current), clipBytes);
    }

    void failures_data()
    {
        QTest::addColumn<ScriptedResponse>("answer");
        QTest::addColumn<ScriptedResponse>("download");
        QTest::addColumn<TTSError::Kind>("kind");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("requests");
        using K = TTSError::Kind;
        const ScriptedResponse none;
        const ScriptedResponse clipUrl = urlsAnswer({"{server}/clip.mp3"});
        const QByteArray tooLarge(int(TTSNetworkManager::maxAudioBytes) + 1, 'x');
        QTest::newRow("204") << ScriptedResponse::json(204, {}) << none << K::httpError
                             << "服务器响应错误，HTTP 状态码：204" << 1;
        QTest::newRow("500 with the server's message")
            << ScriptedResponse::json(500, R"({"message":"语音合成服务繁忙"})") << none << K::httpError
            << "语音合成服务繁忙" << 1;
        QTest::newRow("400 with an empty message")
            << ScriptedResponse::json(400, R"({"message":""})") << none << K::httpError << "" << 1;
        QTest::newRow("502 with the message only inside an envelope")
            << ScriptedResponse::json(502, R"({"error":{"code":"UPSTREAM","message":"上游失败"}})") << none
            << K::httpError << "服务器响应错误，HTTP 状态码：502" << 1;
        QTest::newRow("empty audio") << audioAnswer({}) << none << K::invalidResponse << "服务器返回了无效的音频数据"
                                     << 1;
        QTest::newRow("JSON without data") << ScriptedResponse::json(200, R"({"success":true})") << none
                                           << K::invalidResponse << "服务器返回了无效的音频数据" << 1;
        QTest::newRow("no URLs") << urlsAnswer({}) << none << K::invalidResponse << "服务器返回了无效的音频数据" << 1;
        QTest::newRow("download answers 404")
            << clipUrl << ScriptedResponse::json(404, {}) << K::invalidResponse << "服务器返回了无效的音频数据" << 2;
        QTest::newRow("download is empty")
            << clipUrl << audioAnswer({}) << K::invalidResponse << "服务器返回了无效的音频数据" << 2;
        QTest::newRow("file URL never read")
            << urlsAnswer({"file:///etc/passwd"}) << none << K::invalidResponse << "服务器返回了无效的音频数据" << 1;
        QTest::newRow("plain HTTP to another host") << urlsAnswer({"http://speech.example.com/clip.mp3"}) << none
                                                    << K::invalidResponse << "服务器返回了无效的音频数据" << 1;
        QTest::newRow("audio over 20 MB")
            << audioAnswer(tooLarge) << none << K::invalidResponse << "服务器返回了无效的音频数据" << 1;
        QTest::newRow("download over 20 MB")
            << clipUrl << audioAnswer(tooLarge) << K::invalidResponse << "服务器返回了无效的音频数据" << 2;
        // Qt itself sends once more on a dropped connection: the count is its business.
        QTest::newRow("connection dropped")
            << ScriptedResponse::dropped() << none << K::networkError << "网络请求失败：网络连接已中断。" << -1;
    }
    void failures()
    {
        QFETCH(ScriptedResponse, answer);
        QFETCH(ScriptedResponse, download);
        QFETCH(TTSError::Kind, kind);
        QFETCH(QString, description);
        QFETCH(int, requests);
        answer.body.replace("{server}", m_server->baseUrl().toString().toUtf8());
        m_server->route("POST", fetchPath, answer);
        m_server->route("GET", QStringLiteral("/clip.mp3"), download);

        const std::optional<TTSError> error = fetchError(QStringLiteral("apple"));

        QVERIFY(error);
        QCOMPARE(error->kind(), kind);
        QCOMPARE(error->description(), description);
        if (requests >= 0)
            QCOMPARE(m_server->requestCount(), requests);
        QCOMPARE(m_cache->currentCacheSizeBytes(), 0);
    }

    void withoutATokenNothingIsSent_data()
    {
        QTest::addColumn<std::optional<QString>>("token");
        QTest::newRow("no token") << std::optional<QString>();
        QTest::newRow("empty token") << std::optional<QString>(QString());
    }
    void withoutATokenNothingIsSent()
    {
        QFETCH(std::optional<QString>, token);
        const std::optional<TTSError> error = fetchError(QStringLiteral("apple"), token);
        QVERIFY(error);
        QCOMPARE(error->kind(), TTSError::Kind::httpError);
        QCOMPARE(error->statusCode(), 401);
        QCOMPARE(error->description(), QStringLiteral("请先登录"));
        QCOMPARE(m_server->requestCount(), 0);
    }

    void textLengthIsCountedAsReadersCountCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sent");
        const QString accented = QStringLiteral("e\u0301"); // one character, two code points
        QTest::newRow("only white space") << " \n\t " << false;
        QTest::newRow("500 letters") << QString(500, QLatin1Char('a')) << true;
        QTest::newRow("501 letters") << QString(501, QLatin1Char('a')) << false;
        QTest::newRow("500 accented letters") << accented.repeated(500) << true;
        QTest::newRow("501 accented letters") << accented.repeated(501) << false;
        QTest::newRow("500 letters among blanks") << "  " + QString(500, QLatin1Char('a')) + "\n" << true;
    }
    void textLengthIsCountedAsReadersCountCharacters()
    {
        QFETCH(QString, text);
        QFETCH(bool, sent);
        m_server->route("POST", fetchPath, audioAnswer(clipBytes));
        const std::optional<TTSError> error = fetchError(text);
        QCOMPARE(m_server->requestCount(), sent ? 1 : 0);
        QCOMPARE(error.has_value(), !sent);
        if (error)
            QCOMPARE(error->kind(), TTSError::Kind::invalidResponse);
    }

    void anUnusableBaseUrlIsAnInvalidEndpoint_data()
    {
        QTest::addColumn<std::optional<QUrl>>("base");
        QTest::newRow("none") << std::optional<QUrl>();
        QTest::newRow("relative") << std::optional<QUrl>(QUrl(QStringLiteral("api.example.com/v1")));
    }
    void anUnusableBaseUrlIsAnInvalidEndpoint()
    {
        QFETCH(std::optional<QUrl>, base);
        m_baseURL = base;
        const std::optional<TTSError> error = fetchError(QStringLiteral("apple"));
        QVERIFY(error);
        QCOMPARE(error->kind(), TTSError::Kind::invalidEndpoint);
        QCOMPARE(error->description(), QStringLiteral("无效的后端服务地址"));
    }

    void aClipLargerThanTheWholeCacheIsReturnedButNotKept()
    {
        useCacheCap(100);
        writeCached(QString(64, QLatin1Char('a')), QByteArray(60, 'o'));
        m_server->route("POST", fetchPath, audioAnswer(QByteArray(101, 'x')));

        QCOMPARE(awaitResult(m_client->fetchAudio(QStringLiteral("apple"), jenny, QStringLiteral("token-1"))),
            QByteArray(101, 'x'));
        QCOMPARE(m_cache->currentCacheSizeBytes(), 60);
    }

    void cancellingEndsTheTransferAsACancelledNetworkError()
    {
        m_server->route("POST", fetchPath, ScriptedResponse::never());
        CancellationSource source;
        connect(m_server.get(), &TestHttpServer::requestReceived, this, [&source] { source.cancel(); });

        const std::optional<TTSError> error = awaitError<TTSError>(
            m_client->fetchAudio(QStringLiteral("apple"), jenny, QStringLiteral("token-1"), source.token()));

        QVERIFY(error);
        QCOMPARE(error->kind(), TTSError::Kind::networkError);
        QVERIFY(error->isCancellation());
    }
};

TALVORO_TEST(TTSNetworkManagerTest)
#include "tst_ttsclient.moc"
