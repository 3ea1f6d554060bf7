#include "AwaitTask.h"
#include "BackendChecks.h"
#include "BackendProcess.h"
#include "TestRegistry.h"

#include "Platform/AppError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

using namespace backendtest;

namespace {

struct Sound {
    double seconds = 0;
    double rms = 0; // of 16-bit samples, 0 to 32768
};

// Decodes an MP3 clip with LAME and measures the PCM in it.
Sound measure(const QByteArray &mp3)
{
    QTemporaryDir dir;
    QFile input(dir.filePath(QStringLiteral("clip.mp3")));
    if (!input.open(QIODevice::WriteOnly) || input.write(mp3) != mp3.size())
        return {};
    input.close();
    QProcess lame;
    lame.start(QStringLiteral("lame"),
        {QStringLiteral("--quiet"), QStringLiteral("--decode"), input.fileName(),
            dir.filePath(QStringLiteral("clip.wav"))});
    if (!lame.waitForFinished(30000) || lame.exitCode() != 0)
        return {};
    QFile output(dir.filePath(QStringLiteral("clip.wav")));
    if (!output.open(QIODevice::ReadOnly))
        return {};
    const QByteArray wav = output.readAll();
    const qsizetype data = wav.indexOf("data");
    if (!wav.startsWith("RIFF") || data < 0 || wav.size() < 44)
        return {};
    const quint32 rate = qFromLittleEndian<quint32>(wav.constData() + 24);
    const quint16 channels = qFromLittleEndian<quint16>(wav.constData() + 22);
    const qsizetype count = (wav.size() - data - 8) / 2;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double sample = qFromLittleEndian<qint16>(wav.constData() + data + 8 + 2 * i);
        sum += sample * sample;
    }
    return {count > 0 ? double(count) / channels / rate : 0, count > 0 ? std::sqrt(sum / double(count)) : 0};
}

QJsonObject speechBody(const QString &voice, const QString &text)
{
    return QJsonObject {{"voice_id", voice}, {"text_segments", QJsonArray {text}}};
}

// 500 user-perceived characters in 999 UTF-16 units: "é" written as e and a combining accent.
QString fiveHundredCharacters()
{
    return QStringLiteral("e\u0301 ").repeated(250).trimmed() + u'e';
}

qsizetype clipsIn(const BackendProcess &backend)
{
    return QDir(QDir(backend.dataPath()).filePath(QStringLiteral("speech")))
        .entryList({QStringLiteral("*.mp3")}, QDir::Files)
        .size();
}

} // namespace

// Speech in both answer forms, the faults tests can switch on, and the TLS the app relies on.
class BackendSpeechTest : public QObject {
    Q_OBJECT

    BackendProcess m_backend;
    Account m_account;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_backend.start({QStringLiteral("--test-faults")}));
        m_account = m_backend.registerAccount();
    }

    void speechIsAnMp3ClipWithSoundInIt_data()
    {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const char *voice, const QString &text) {
            QTest::newRow(name) << QString::fromLatin1(voice) << text;
        };
        row("American English", "en-US-JennyNeural", QStringLiteral("apple"));
        row("British English", "en-GB-RyanNeural", QStringLiteral("luggage"));
        row("Mandarin", "zh-CN-XiaoxiaoNeural", QStringLiteral("一种常见的水果"));
        row("Cantonese", "zh-HK-WanLungNeural", QStringLiteral("你好"));
        row("spelling", "zh-CN-YunxiNeural", QStringLiteral("A P P L E"));
        row("500 characters", "en-US-GuyNeural", fiveHundredCharacters());
    }
    void speechIsAnMp3ClipWithSoundInIt()
    {
        QFETCH(QString, voice);
        QFETCH(QString, text);
        const qsizetype clipsBefore = clipsIn(m_backend);
        const Answer answer = m_backend.call(
            "POST", QStringLiteral("/api/v1/tts/fetch"), speechBody(voice, text), m_account.accessToken);
        QCOMPARE(answer.status, 200);
        QCOMPARE(answer.contentType, QByteArray("audio/mpeg"));
        const Sound sound = measure(answer.body);
        QVERIFY2(sound.seconds > 0.2, qPrintable(QString::number(sound.seconds)));
        QVERIFY2(sound.rms > 300, qPrintable(QString::number(sound.rms)));

        // The clip is kept: asking again gives the same bytes without a new file.
        QCOMPARE(clipsIn(m_backend), clipsBefore + 1);
        const Answer again = m_backend.call("POST", QStringLiteral("/api/v1/tts/fetch"),
            speechBody(voice, QStringLiteral("  ") + text + QStringLiteral("\n")), m_account.accessToken);
        QCOMPARE(again.body, answer.body);
        QCOMPARE(clipsIn(m_backend), clipsBefore + 1);
    }

    void refusedSpeechCarriesItsMessageAtTheTop_data()
    {
        QTest::addColumn<bool>("signedIn");
        QTest::addColumn<QJsonObject>("body");
        QTest::addColumn<int>("status");
        QTest::newRow("no token") << false << speechBody("en-US-JennyNeural", "apple") << 401;
        QTest::newRow("unknown voice") << true << speechBody("en-US-Nobody", "apple") << 400;
        QTest::newRow("voice in other case") << true << speechBody("en-us-jennyneural", "apple") << 400;
        QTest::newRow("only white space") << true << speechBody("en-US-JennyNeural", " \n\t ") << 400;
        QTest::newRow("501 characters") << true << speechBody("en-US-JennyNeural", fiveHundredCharacters() + u'e')
                                        << 400;
        QTest::newRow("no segments") << true
                                     << QJsonObject {{"voice_id", "en-US-JennyNeural"}, {"text_segments", QJsonArray()}}
                                     << 400;
        QTest::newRow("segments not a list")
            << true << QJsonObject {{"voice_id", "en-US-JennyNeural"}, {"text_segments", "apple"}} << 400;
    }
    void refusedSpeechCarriesItsMessageAtTheTop()
    {
        QFETCH(bool, signedIn);
        QFETCH(QJsonObject, body);
        QFETCH(int, status);
        const Answer answer = m_backend.call(
            "POST", QStringLiteral("/api/v1/tts/fetch"), body, signedIn ? m_account.accessToken : QString());
        QCOMPARE(answer.status, status);
        QVERIFY(isChinese(answer.message()));
    }

    void theUrlFormServesTheClipFromItsOwnAddress()
    {
        BackendProcess backend;
        QVERIFY(backend.start({QStringLiteral("--tts-mode"), QStringLiteral("urls")}));
        const Account account = backend.registerAccount();
        const Answer answer = backend.call("POST", QStringLiteral("/api/v1/tts/fetch"),
            speechBody(QStringLiteral("en-US-AriaNeural"), QStringLiteral("harbor")), account.accessToken);
        QCOMPARE(answer.status, 200);
        QVERIFY(!answer.contentType.startsWith("audio/"));
        const QJsonArray urls = answer.data()["audio_urls"].toArray();
        QCOMPARE(urls.size(), 1);
        const QUrl clipUrl(urls[0].toString());
        QCOMPARE(clipUrl.adjusted(QUrl::RemovePath), backend.baseUrl());

        const Answer clip = backend.send("GET", clipUrl, {}); // no token, as the player fetches it
        QCOMPARE(clip.status, 200);
        QVERIFY(measure(clip.body).rms > 300);
        const Answer unknown = backend.send("GET",
            backend.baseUrl().resolved(QUrl(QStringLiteral("/api/v1/tts/audio/%1.mp3").arg(QString(64, u'0')))), {});
        QCOMPARE(unknown.status, 404);
    }

    void faultsCanBeSwitchedOnForAPath()
    {
        const QString path = QStringLiteral("/api/v1/public/lexicons");
        m_backend.injectFault(QJsonObject {{"path", path}, {"status", 503}, {"times", 1}});
        QCOMPARE(m_backend.call("GET", path).status, 503);
        QCOMPARE(m_backend.call("GET", path).status, 200);

        // Until cleared: the network layer sends a GET again once when a kept-alive connection closes.
        m_backend.injectFault(QJsonObject {{"path", path}, {"method", "GET"}, {"drop", true}});
        QVERIFY_THROWS_EXCEPTION(talvoro::TransportError, m_backend.call("GET", path));
        QCOMPARE(m_backend.call("DELETE", QStringLiteral("/__admin/faults")).status, 200);
        QCOMPARE(m_backend.call("GET", path).status, 200);

        m_backend.injectFault(QJsonObject {{"path", path}, {"delayMs", 400}});
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(m_backend.call("GET", path).status, 200);
        QVERIFY(timer.elapsed() >= 350); // timers may fire a little early, never much
        QCOMPARE(m_backend.call("DELETE", QStringLiteral("/__admin/faults")).status, 200);
        QCOMPARE(m_backend.call("GET", QStringLiteral("/api/v1/user/lexicons"), m_account.accessToken).status, 200);
    }

    void aClientThatDoesNotTrustTheLocalAuthorityRefusesTheServer()
    {
        talvoro::NetworkTransfer untrusting;
        talvoro::TransferRequest request;
        request.url = m_backend.baseUrl().resolved(QUrl(QStringLiteral("/api/v1/public/lexicons")));
        const auto error = testsupport::awaitError<talvoro::TransportError>(untrusting.send(request));
        QVERIFY(error.has_value());
        QCOMPARE(m_backend.baseUrl().scheme(), QStringLiteral("https"));
    }
};

TALVORO_TEST(BackendSpeechTest)
#include "tst_backend_speech.moc"
