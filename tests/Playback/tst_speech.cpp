#include "AwaitTask.h"
#include "TestHttpServer.h"
#include "TestRegistry.h"
#include "ToneClips.h"

#include "Platform/NetworkTransfer.h"
#include "Playback/AudioCacheManager.h"
#include "Playback/SpeechCacheKey.h"
#include "Playback/TTSNetworkManager.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using namespace testsupport;

Q_DECLARE_METATYPE(ScriptedResponse)

namespace {

const QString fetchPath = QStringLiteral("/api/v1/tts/fetch");
const QString jenny = QStringLiteral("en-US-JennyNeural");
const QString appleKey = SpeechCacheKey::sha256Key(QStringLiteral("apple"), jenny);
const QByteArray clipBytes = waveFile(sineTone(440, 0.05));
// Clips the player cannot play: no audio at all, and a rate no voice comes in.
const QByteArray notAudio("ID3\x04 no frames follow");
const QByteArray sixtyHertz = waveFile(sineTone(10, 1.0, 60));
const QString invalidAudio = QStringLiteral("0 服务器返回了无效的音频数据");

ScriptedResponse audioAnswer(const QByteArray &body, const QByteArray &contentType = "audio/mpeg")
{
    ScriptedResponse response;
    response.headers = {{"Content-Type", contentType}};
    response.body = body;
    return response;
}

ScriptedResponse urlsAnswer(const QStringList &urls)
{
    const QJsonObject data {{"audio_urls", QJsonArray::fromStringList(urls)}};
    return ScriptedResponse::json(
        200, QJsonDocument(QJsonObject {{"success", true}, {"data", data}}).toJson(QJsonDocument::Compact));
}

// A file of `size` bytes (sparse: no real disk used), last used `secondsAgo`.
void writeFile(const QString &path, qint64 size, int secondsAgo)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
    QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-secondsAgo), QFileDevice::FileModificationTime));
}

} // namespace

// The speech cache keys, the audio cache on disk, and the speech client over a
// loopback server.
class SpeechTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_root;
    std::unique_ptr<AudioCacheManager> m_cache;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<NetworkTransfer> m_transfer;
    std::unique_ptr<TTSNetworkManager> m_client;
    std::optional<QUrl> m_baseURL;

    QString pathOf(const QString &name) const { return QDir(m_cache->cacheDirectory()).filePath(name); }
    QByteArray cachedBytes(const QString &key) const
    {
        QFile file(pathOf(key + ".mp3"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The first letter of each file name left in the cache.
    QStringList remaining() const
    {
        QStringList names = QDir(m_cache->cacheDirectory()).entryList(QDir::Files, QDir::Name);
        for (QString &name : names)
            name = name.left(1);
        return names;
    }
    void useCacheCap(qint64 cap)
    {
        m_cache = std::make_unique<AudioCacheManager>(AppDirectories::under(m_root->path()), cap);
        m_client = std::make_unique<TTSNetworkManager>(*m_transfer, *m_cache, [this] { return m_baseURL; });
    }
    // "<status> <description>" of the error the fetch ends with; empty when it succeeds.
    QString fetchOutcome(const QString &text = QStringLiteral("apple"), std::optional<QString> token = "token-1")
    {
        const std::optional<TTSError> error = awaitError<TTSError>(m_client->fetchAudio(text, jenny, token));
        return error ? QStringLiteral("%1 %2").arg(error->statusCode()).arg(error->description()) : QString();
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

    void keys_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("legacy");
        const QString abc = QStringLiteral("cc12ca8380162c5a57d8ea5a69c6ca97ed6eb6de6e3dcdeaab9e171e8790770c");
        const QString abcLegacy = QStringLiteral("784a162875020c79f8e822156d8a5fa1");
        QTest::newRow("bytes 3:abc17:en-US-JennyNeural") << "abc" << jenny << abc << abcLegacy;
        QTest::newRow("blank and newline trimmed") << " abc\n" << jenny << abc << abcLegacy;
        QTest::newRow("Chinese counts bytes, 6")
            << "苹果"
            << "zh-CN-XiaoxiaoNeural"
            << QStringLiteral("1d493c4ddb488fabd5c776d4bfbc4429944f886105155e22683f53df9f75eb8b")
            << QStringLiteral("de609b59891b790a193ae3f762b480b1");
        QTest::newRow("voice used untrimmed")
            << "abc"
            << " en-US-JennyNeural"
            << QStringLiteral("2cfd6f37e75f575758b86b47f913cd72e8903ac6e62800b411137c2c51adf27e")
            << QStringLiteral("e0822ec6d18c745b677a40fb7816b892");
    }
    void keys()
    {
        QFETCH(QString, text);
        QFETCH(QString, voice);
        QFETCH(QString, current);
        QFETCH(QString, legacy);
        QCOMPARE(SpeechCacheKey::sha256Key(text, voice), current);
        QCOMPARE(SpeechCacheKey::legacyMD5Key(text, voice), legacy);
    }

    void isCached_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("fileKey");
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<bool>("cached");
        QTest::newRow("under the current key") << "  apple\n" << appleKey << 10 << true;
        QTest::newRow("under the older key only")
            << "apple" << SpeechCacheKey::legacyMD5Key(QStringLiteral("apple"), jenny) << 10 << true;
        QTest::newRow("empty file") << "apple" << appleKey << 0 << false;
        QTest::newRow("blank text") << " \n" << SpeechCacheKey::sha256Key(QString(), jenny) << 10 << false;
    }
    void isCached()
    {
        QFETCH(QString, text);
        QFETCH(QString, fileKey);
        QFETCH(int, fileSize);
        QFETCH(bool, cached);
        writeFile(pathOf(fileKey + ".mp3"), fileSize, 3600);
        const QDateTime before = QFileInfo(pathOf(fileKey + ".mp3")).lastModified();

        QCOMPARE(SpeechCacheKey::isCached(text, jenny, *m_cache), cached);
        QCOMPARE(QFileInfo(pathOf(fileKey + ".mp3")).lastModified(), before); // asking records no use
    }

    // a (300 bytes, oldest), b (300) and notes.txt (300, newest; other names count
    // and age like clips) under a cap of 1000.
    void storingEvictsTheLeastRecentlyUsedAtTheCap_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("readA");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("up to the cap") << 100 << false << QStringList {"a", "b", "d", "n"};
        QTest::newRow("one byte over") << 101 << false << QStringList {"b", "d", "n"};
        QTest::newRow("the oldest frees enough") << 400 << false << QStringList {"b", "d", "n"};
        QTest::newRow("one byte more takes two") << 401 << false << QStringList {"d", "n"};
        QTest::newRow("the whole cap") << 1000 << false << QStringList {"d"};
        QTest::newRow("over the cap: neither stored nor evicting") << 1001 << false << QStringList {"a", "b", "n"};
        QTest::newRow("a read clip goes last") << 101 << true << QStringList {"a", "d", "n"};
    }
    void storingEvictsTheLeastRecentlyUsedAtTheCap()
    {
        QFETCH(int, size);
        QFETCH(bool, readA);
        QFETCH(QStringList, kept);
        useCacheCap(1000);
        writeFile(pathOf(QString(64, 'a') + ".mp3"), 300, 300);
        writeFile(pathOf(QString(64, 'b') + ".mp3"), 300, 200);
        writeFile(pathOf("notes.txt"), 300, 100);
        if (readA)
            QCOMPARE(m_cache->cachedFileURL(QString(64, 'a')), QUrl::fromLocalFile(pathOf(QString(64, 'a') + ".mp3")));

        const std::optional<QUrl> url = m_cache->store(QByteArray(size, 'x'), QString(64, 'd'));

        QCOMPARE(url.has_value(), kept.contains("d"));
        QCOMPARE(remaining(), kept);
        QCOMPARE(m_cache->currentCacheSizeBytes(), 300 * (kept.size() - 1) + (url ? size : 300));
    }

    void keysThatAreNoDigestNeverBecomePaths_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("parent folder") << "../../escaped";
        QTest::newRow("upper-case digest") << QString(64, QLatin1Char('A'));
    }
    void keysThatAreNoDigestNeverBecomePaths()
    {
        QFETCH(QString, key);
        QVERIFY_THROWS_EXCEPTION(FileError, m_cache->store("clip", key));
        QCOMPARE(m_cache->cachedFileURL(key), std::nullopt);
        QVERIFY(!QDir(m_root->path()).exists(QStringLiteral("ApplicationSupport/escaped.mp3")));
    }

    void usageText_data()
    {
        QTest::addColumn<qint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << qint64(0) << "已占用 0.0 MB / 1 GB";
        QTest::newRow("51,200 bytes") << qint64(51'200) << "已占用 0.05 MB / 1 GB";
        QTest::newRow("just under 1024 MB") << qint64(1'073'741'823) << "已占用 1024.0 MB / 1 GB";
        QTest::newRow("1 GiB") << qint64(1'073'741'824) << "已占用 1.00 GB / 1 GB";
    }
    void usageText()
    {
        QFETCH(qint64, bytes);
        QFETCH(QString, text);
        writeFile(pathOf(appleKey + ".mp3"), bytes, 0);
        QCOMPARE(m_cache->formattedUsageText(), text);
        QVERIFY(QDir(m_cache->cacheDirectory()).mkpath(QStringLiteral("leftover/inner")));

        m_cache->clearCache();

        const QDir folder(m_cache->cacheDirectory());
        QVERIFY(folder.exists() && folder.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
        QCOMPARE(m_cache->formattedUsageText(), QStringLiteral("已占用 0.0 MB / 1 GB"));
    }

    void deliversTheClipAndCachesIt_data()
    {
        QTest::addColumn<bool>("viaUrl");
        QTest::addColumn<QByteArray>("contentType");
        QTest::newRow("audio/mpeg") << false << QByteArray("audio/mpeg");
        QTest::newRow("audio/wav with parameter") << false << QByteArray("audio/wav; rate=24000");
        QTest::newRow("first of two URLs") << true << QByteArray("text/plain");
    }
    void deliversTheClipAndCachesIt()
    {
        QFETCH(bool, viaUrl);
        QFETCH(QByteArray, contentType);
        m_server->route("POST", fetchPath,
            viaUrl ? urlsAnswer({m_server->url(QStringLiteral("/clips/1.mp3")).toString(),
                m_server->url(QStringLiteral("/clips/2.mp3")).toString()})
                   : audioAnswer(clipBytes, contentType));
        m_server->route("GET", QStringLiteral("/clips/1.mp3"), audioAnswer(clipBytes, contentType));
        m_server->route("GET", QStringLiteral("/clips/2.mp3"), audioAnswer("the second clip"));
        const QString text = QStringLiteral("apple 苹果");

        QCOMPARE(awaitResult(m_client->fetchAudio("  " + text + "\n", jenny, QStringLiteral("token-1"))), clipBytes);

        QCOMPARE(m_server->requestCount(), viaUrl ? 2 : 1);
        const RecordedRequest request = m_server->requests().first();
        QCOMPARE(request.method + " " + request.path.toUtf8(), "POST " + fetchPath.toUtf8());
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("Authorization"), QByteArray("Bearer token-1"));
        QCOMPARE(QJsonDocument::fromJson(request.body).object(),
            (QJsonObject {{"voice_id", jenny}, {"text_segments", QJsonArray {text}}}));
        if (viaUrl) {
            const RecordedRequest download = m_server->requests().at(1);
            QCOMPARE(download.method + " " + download.path.toUtf8(), QByteArray("GET /clips/1.mp3"));
            QVERIFY(!download.hasHeader("Authorization"));
        }
        QCOMPARE(cachedBytes(SpeechCacheKey::sha256Key(text, jenny)), clipBytes);
    }

    // The older key's clip is copied under the current one; an empty file is no clip,
    // and a file that does not decode is dropped and fetched again.
    void aCachedClipNeedsNeitherNetworkNorToken_data()
    {
        QTest::addColumn<bool>("legacyKey");
        QTest::addColumn<QByteArray>("cached");
        QTest::addColumn<bool>("fetched");
        QTest::newRow("current key") << false << clipBytes << false;
        QTest::newRow("older key only") << true << clipBytes << false;
        QTest::newRow("empty file: fetched again") << false << QByteArray() << true;
        QTest::newRow("no audio: fetched again") << false << notAudio << true;
        QTest::newRow("60 Hz clip: fetched again") << false << sixtyHertz << true;
        QTest::newRow("older key, no audio: fetched again") << true << notAudio << true;
    }
    void aCachedClipNeedsNeitherNetworkNorToken()
    {
        QFETCH(bool, legacyKey);
        QFETCH(QByteArray, cached);
        QFETCH(bool, fetched);
        const QString cachedPath
            = pathOf((legacyKey ? SpeechCacheKey::legacyMD5Key(QStringLiteral("apple"), jenny) : appleKey) + ".mp3");
        writeFileAtomically(cachedPath, cached);
        m_server->route("POST", fetchPath, audioAnswer(clipBytes));
        const std::optional<QString> token = fetched ? std::optional<QString>("token-1") : std::nullopt;

        QCOMPARE(awaitResult(m_client->fetchAudio(QStringLiteral(" apple "), jenny, token)), clipBytes);

        QCOMPARE(m_server->requestCount(), fetched ? 1 : 0);
        QCOMPARE(cachedBytes(appleKey), clipBytes);
        if (legacyKey && fetched)
            QVERIFY(!QFile::exists(cachedPath));
    }

    void failures_data()
    {
        QTest::addColumn<ScriptedResponse>("answer");
        QTest::addColumn<ScriptedResponse>("download");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("requests");
        const ScriptedResponse none;
        const ScriptedResponse clipUrl = urlsAnswer({"{server}/clip.mp3"});
        const QByteArray tooLarge(int(TTSNetworkManager::maxAudioBytes) + 1, 'x');
        QTest::newRow("204") << ScriptedResponse::json(204, {}) << none << "204 服务器响应错误，HTTP 状态码：204" << 1;
        QTest::newRow("500 with the server's message")
            << ScriptedResponse::json(500, R"({"message":"语音合成服务繁忙"})") << none << "500 语音合成服务繁忙" << 1;
        QTest::newRow("502 with the message only inside an envelope")
            << ScriptedResponse::json(502, R"({"error":{"code":"UPSTREAM","message":"上游失败"}})") << none
            << "502 服务器响应错误，HTTP 状态码：502" << 1;
        QTest::newRow("empty audio") << audioAnswer({}) << none << invalidAudio << 1;
        QTest::newRow("no URLs") << urlsAnswer({}) << none << invalidAudio << 1;
        QTest::newRow("download answers 404") << clipUrl << ScriptedResponse::json(404, {}) << invalidAudio << 2;
        QTest::newRow("file URL never read") << urlsAnswer({"file:///etc/passwd"}) << none << invalidAudio << 1;
        QTest::newRow("plain HTTP to another host")
            << urlsAnswer({"http://speech.example.com/clip.mp3"}) << none << invalidAudio << 1;
        QTest::newRow("audio over 20 MB") << audioAnswer(tooLarge) << none << invalidAudio << 1;
        QTest::newRow("audio that does not decode") << audioAnswer(notAudio) << none << invalidAudio << 1;
        QTest::newRow("download of a 60 Hz clip") << clipUrl << audioAnswer(sixtyHertz) << invalidAudio << 2;
        QTest::newRow("download over 20 MB") << clipUrl << audioAnswer(tooLarge) << invalidAudio << 2;
        // Qt itself sends once more on a dropped connection: the count is its business.
        QTest::newRow("connection dropped")
            << ScriptedResponse::dropped() << none << "0 网络请求失败：网络连接已中断。" << -1;
    }
    void failures()
    {
        QFETCH(ScriptedResponse, answer);
        QFETCH(ScriptedResponse, download);
        QFETCH(QString, outcome);
        QFETCH(int, requests);
        answer.body.replace("{server}", m_server->baseUrl().toString().toUtf8());
        m_server->route("POST", fetchPath, answer);
        m_server->route("GET", QStringLiteral("/clip.mp3"), download);

        QCOMPARE(fetchOutcome(), outcome);
        if (requests >= 0)
            QCOMPARE(m_server->requestCount(), requests);
        QCOMPARE(m_cache->currentCacheSizeBytes(), 0);
    }

    void whatIsRefusedSendsNothing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<QString>>("token");
        QTest::addColumn<QString>("base"); // empty: the test server
        QTest::addColumn<QString>("outcome"); // empty: sent
        const QString accented = QStringLiteral("e\u0301"); // one character, two code points
        const std::optional<QString> token("token-1");
        QTest::newRow("no token") << "apple" << std::optional<QString>() << ""
                                  << "401 请先登录";
        QTest::newRow("empty token") << "apple" << std::optional<QString>("") << ""
                                     << "401 请先登录";
        QTest::newRow("only white space") << " \n\t " << token << "" << invalidAudio;
        QTest::newRow("500 letters among blanks") << "  " + QString(500, 'a') + "\n"
                                                  << token << ""
                                                  << "";
        QTest::newRow("501 letters") << QString(501, 'a') << token << "" << invalidAudio;
        QTest::newRow("500 accented letters") << accented.repeated(500) << token << ""
                                              << "";
        QTest::newRow("501 accented letters") << accented.repeated(501) << token << "" << invalidAudio;
        QTest::newRow("no base URL") << "apple" << token << "none"
                                     << "0 无效的后端服务地址";
        QTest::newRow("relative base URL") << "apple" << token << "api.example.com/v1"
                                           << "0 无效的后端服务地址";
    }
    void whatIsRefusedSendsNothing()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<QString>, token);
        QFETCH(QString, base);
        QFETCH(QString, outcome);
        if (!base.isEmpty())
            m_baseURL = base == "none" ? std::nullopt : std::optional(QUrl(base));
        m_server->route("POST", fetchPath, audioAnswer(clipBytes));

        QCOMPARE(fetchOutcome(text, token), outcome);
        QCOMPARE(m_server->requestCount(), outcome.isEmpty() ? 1 : 0);
    }

    void aClipLargerThanTheWholeCacheIsReturnedButNotKept()
    {
        useCacheCap(clipBytes.size() - 1);
        writeFileAtomically(pathOf(QString(64, 'a') + ".mp3"), QByteArray(60, 'o'));
        m_server->route("POST", fetchPath, audioAnswer(clipBytes));

        QCOMPARE(
            awaitResult(m_client->fetchAudio(QStringLiteral("apple"), jenny, QStringLiteral("token-1"))), clipBytes);
        QCOMPARE(m_cache->currentCacheSizeBytes(), 60);
    }

    void cancellingEndsTheTransferAsACancelledNetworkError()
    {
        m_server->route("POST", fetchPath, ScriptedResponse::never());
        CancellationSource source;
        connect(m_server.get(), &TestHttpServer::requestReceived, this, [&source] { source.cancel(); });

        const std::optional<TTSError> error = awaitError<TTSError>(
            m_client->fetchAudio(QStringLiteral("apple"), jenny, QStringLiteral("token-1"), source.token()));

        QVERIFY(error && error->isCancellation());
        QCOMPARE(error->kind(), TTSError::Kind::networkError);
    }
};

TALVORO_TEST(SpeechTest)
#include "tst_speech.moc"
