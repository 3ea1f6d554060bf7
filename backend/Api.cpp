#include "Api.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <QUuid>

#include <cstdio>

namespace standin {
namespace {

constexpr qsizetype maximumSpeechCharacters = 500;
constexpr qsizetype maximumVoiceIdLength = 64;

// User-perceived characters: "é" written with a combining accent counts once.
qsizetype characterCount(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

} // namespace

Api::Api(Database &database, Accounts &accounts, Speech &speech, SpeechAnswer speechAnswer, QObject *parent)
    : QObject(parent)
    , m_database(database)
    , m_accounts(accounts)
    , m_speech(speech)
    , m_speechAnswer(speechAnswer)
{
    const auto add = [this](const char *method, const char *path, bool authenticated, Handler handler) {
        m_routes.append({method, QString::fromLatin1(path).split(u'/', Qt::SkipEmptyParts), authenticated, handler});
    };
    add("POST", "/api/v1/auth/refresh", false, &Api::refresh);
    add("POST", "/api/v1/auth/logout", false, &Api::logout);

    add("GET", "/api/v1/public/lexicons", false, &Api::publicLexicons);
    add("GET", "/api/v1/public/lexicons/{}", false, &Api::publicLexicon);
    add("GET", "/api/v1/user/lexicons", true, &Api::userLexicons);
    add("POST", "/api/v1/user/lexicons", true, &Api::createLexicon);
    add("PUT", "/api/v1/user/lexicons/{}/words/order", true, &Api::reorderWords);
    add("DELETE", "/api/v1/user/lexicons/{}/words/{}", true, &Api::removeMembership);
    add("GET", "/api/v1/user/words", true, &Api::userWords);
    add("POST", "/api/v1/user/words", true, &Api::createWord);
    add("PUT", "/api/v1/user/words/{}", true, &Api::updateWord);
    add("DELETE", "/api/v1/user/words/{}", true, &Api::deleteWord);
    add("PUT", "/api/v1/user/words/{}/move", true, &Api::moveWord);
    add("GET", "/api/v1/user/words/{}/playback-profile", true, &Api::playbackProfile);
    add("PUT", "/api/v1/user/words/{}/playback-profile", true, &Api::updatePlaybackProfile);
    add("GET", "/api/v1/user/playlists", true, &Api::playlists);
    add("POST", "/api/v1/user/playlists", true, &Api::createPlaylist);
    add("PUT", "/api/v1/user/playlists/{}", true, &Api::updatePlaylist);
    add("DELETE", "/api/v1/user/playlists/{}", true, &Api::deletePlaylist);
    add("GET", "/api/v1/user/playback-preferences", true, &Api::playbackPreference);
    add("PUT", "/api/v1/user/playback-preferences", true, &Api::updatePlaybackPreference);

    add("GET", "/api/v1/system/config", true, &Api::systemConfiguration);
    add("GET", "/api/v1/words", true, &Api::legacyWords);
    add("POST", "/api/v1/words", true, &Api::createLegacyWord);
    add("PUT", "/api/v1/words/{}", true, &Api::updateLegacyWord);
    add("DELETE", "/api/v1/words/{}", true, &Api::deleteLegacyWord);
    add("PUT", "/api/v1/preferences", true, &Api::updateLegacyPreferences);
}

void Api::handle(const Request &request, Respond respond)
{
    using Start = void (Api::*)(const Request &, const Respond &);
    static const std::pair<QLatin1String, Start> answeredLater[] {
        {QLatin1String("/api/v1/tts/fetch"), &Api::fetchSpeech},
        {QLatin1String("/api/v1/auth/register"), &Api::registerUser},
        {QLatin1String("/api/v1/auth/login"), &Api::login},
    };
    answer(request, respond, [&] {
        for (const auto &[path, start] : answeredLater) {
            if (request.path != path)
                continue;
            if (request.method != "POST")
                throw ApiError {405, "METHOD_NOT_ALLOWED", QStringLiteral("接口不支持该请求方法")};
            (this->*start)(request, respond);
            return;
        }
        respond(route(request));
    });
}

void Api::answer(const Request &request, const Respond &respond, const std::function<void()> &work)
{
    try {
        work();
    } catch (const ApiError &error) {
        respond(errorReply(error));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "talvoro-backend: %s %s failed: %s\n", request.method.constData(),
            qPrintable(request.path), error.what());
        respond(errorReply({500, "INTERNAL_ERROR", QStringLiteral("服务器内部错误，请稍后重试")}));
    }
}

void Api::digestPassword(
    const QString &password, const QByteArray &salt, int iterations, std::function<void(const QByteArray &)> done)
{
    m_hashing.start([this, password, salt, iterations, done = std::move(done)] {
        const QByteArray digest = passwords::digest(password, salt, iterations);
        QMetaObject::invokeMethod(
            this, [done, digest] { done(digest); }, Qt::QueuedConnection);
    });
}

Reply Api::route(const Request &request)
{
    static const QRegularExpression clipPath(
        QRegularExpression::anchoredPattern(QStringLiteral("/api/v1/tts/audio/([0-9a-f]{64})\\.mp3")));
    if (const auto match = clipPath.match(request.path); match.hasMatch() && request.method == "GET")
        return speechClip(match.captured(1));

    const QStringList segments = request.path.split(u'/', Qt::SkipEmptyParts);
    bool pathKnown = false;
    bool idMalformed = false;
    for (const Route &route : std::as_const(m_routes)) {
        if (route.segments.size() != segments.size())
            continue;
        QList<qint64> ids;
        bool matches = true;
        bool idsRead = true;
        for (qsizetype i = 0; matches && i < segments.size(); ++i) {
            if (route.segments[i] != QLatin1String("{}"))
                matches = route.segments[i] == segments[i];
            else if (const auto id = readId(segments[i]))
                ids.append(*id);
            else
                idsRead = false;
        }
        if (!matches)
            continue;
        if (!idsRead) {
            idMalformed = true;
            continue;
        }
        pathKnown = true;
        if (route.method != request.method)
            continue;
        const qint64 userId = route.authenticated ? m_accounts.authenticate(request) : 0;
        return (this->*route.handler)(Call {request, userId, ids});
    }
    if (pathKnown)
        throw ApiError {405, "METHOD_NOT_ALLOWED", QStringLiteral("接口不支持该请求方法")};
    if (idMalformed)
        throw ApiError::badRequest(QStringLiteral("路径中的编号无效"));
    throw ApiError {404, "NOT_FOUND", QStringLiteral("接口不存在")};
}

// Accounts

void Api::registerUser(const Request &request, const Respond &respond)
{
    const BodyReader body = BodyReader::parse(request.body);
    const QString username = body.string("username");
    const QString password = body.string("password");
    m_accounts.checkNewAccount(username, password);
    const QByteArray salt = passwords::newSalt();
    digestPassword(password, salt, Accounts::passwordIterations,
        [this, request, respond, username, salt](const QByteArray &digest) {
            answer(
                request, respond, [&] { respond(Reply::envelope(m_accounts.registerUser(username, salt, digest))); });
        });
}

void Api::login(const Request &request, const Respond &respond)
{
    const BodyReader body = BodyReader::parse(request.body);
    const QString username = body.string("username");
    const QString password = body.string("password");
    const LoginRecord record = m_accounts.loginRecord(username);
    m_loginThrottle.admit(username, request.peer);
    digestPassword(
        password, record.salt, record.iterations, [this, request, respond, record](const QByteArray &digest) {
            const bool matches = passwords::matches(record, digest);
            m_loginThrottle.finish(record.username, request.peer, matches);
            answer(request, respond, [&] { respond(Reply::envelope(m_accounts.login(record, matches))); });
        });
}

Reply Api::refresh(const Call &call)
{
    return Reply::envelope(m_accounts.refresh(call.body().string("refreshToken")));
}

Reply Api::logout(const Call &call)
{
    m_accounts.logout(call.body().string("refreshToken"));
    return Reply::envelope(QJsonObject {{"revoked", true}});
}

// Speech

void Api::fetchSpeech(const Request &request, const Respond &respond)
{
    m_accounts.authenticate(request);
    const BodyReader body = BodyReader::parse(request.body);
    const QString voiceId = body.string("voice_id");
    const QStringList segments = body.stringArray("text_segments");
    const std::optional<Voice> voice = findVoice(voiceId);
    if (!voice)
        throw ApiError::badRequest(QStringLiteral("不支持的音色：%1").arg(voiceId));
    const QString text = segments.join(u' ').trimmed();
    if (text.isEmpty())
        throw ApiError::badRequest(QStringLiteral("朗读内容不能为空"));
    if (characterCount(text) > maximumSpeechCharacters)
        throw ApiError::badRequest(QStringLiteral("朗读内容不能超过 500 个字符"));

    const QString key = Speech::clipKey(voiceId, text);
    const SpeechAnswer answer = m_speechAnswer;
    const QUrl clipUrl = m_baseUrl.resolved(QUrl(QStringLiteral("/api/v1/tts/audio/%1.mp3").arg(key)));
    m_speech.synthesise(*voice, text, [respond, answer, clipUrl](std::optional<QString> path) {
        QFile clip(path.value_or(QString()));
        if (!path || !clip.open(QIODevice::ReadOnly)) {
            respond(errorReply({500, "SPEECH_FAILED", QStringLiteral("语音合成失败，请稍后重试")}));
        } else if (answer == SpeechAnswer::audio) {
            respond(Reply {200, "audio/mpeg", clip.readAll()});
        } else {
            respond(Reply::envelope(QJsonObject {{"audio_urls", QJsonArray {clipUrl.toString()}}}));
        }
    });
}

Reply Api::speechClip(const QString &key) const
{
    QFile clip(m_speech.clipPath(key));
    if (!clip.open(QIODevice::ReadOnly))
        throw ApiError::notFound();
    return Reply {200, "audio/mpeg", clip.readAll()};
}

// The older endpoints

Reply Api::systemConfiguration(const Call &)
{
    QJsonArray preview;
    for (const auto &[text, meaning] : {std::pair {"listen", "听"}, {"vocabulary", "词汇"}, {"practice", "练习"}})
        preview.append(QJsonObject {{"text", text}, {"meaning", QString::fromUtf8(meaning)}});
    return Reply::legacy(QJsonObject {{"server_cache_enabled", false}, {"default_preview_words", preview}});
}

QJsonObject Api::legacyWordJson(qint64 legacyWordId)
{
    QSqlQuery row = m_database.run(
        QStringLiteral("SELECT id, word_text, meaning, context FROM legacy_words WHERE id = ?"), {legacyWordId});
    if (!row.next())
        throw ApiError::notFound();
    QJsonObject word {{"id", row.value(0).toLongLong()}, {"word_text", row.value(1).toString()}};
    if (!row.isNull(2))
        word.insert("meaning", row.value(2).toString());
    if (!row.isNull(3))
        word.insert("context", row.value(3).toString());
    return word;
}

Reply Api::legacyWords(const Call &call)
{
    QJsonArray words;
    QSqlQuery rows
        = m_database.run(QStringLiteral("SELECT id FROM legacy_words WHERE user_id = ? ORDER BY id"), {call.userId});
    while (rows.next())
        words.append(legacyWordJson(rows.value(0).toLongLong()));
    return Reply::legacy(words);
}

namespace {
struct LegacyWordBody {
    QString text;
    QVariant meaning;
    QVariant context;
    QString clientId;
};

LegacyWordBody readLegacyWord(const BodyReader &body)
{
    LegacyWordBody word {body.string("wordText").trimmed(), {}, {}, body.string("clientId")};
    if (word.text.isEmpty() || word.text.size() > 200)
        throw ApiError::badRequest(QStringLiteral("单词不能为空，且不超过 200 个字符"));
    if (QUuid::fromString(word.clientId).isNull())
        throw ApiError::badRequest(QStringLiteral("clientId 必须是 UUID"));
    word.clientId = QUuid::fromString(word.clientId).toString(QUuid::WithoutBraces).toUpper();
    if (const auto meaning = body.optionalString("meaning"))
        word.meaning = *meaning;
    if (const auto context = body.optionalString("context"))
        word.context = *context;
    return word;
}
} // namespace

Reply Api::createLegacyWord(const Call &call)
{
    const LegacyWordBody word = readLegacyWord(call.body());
    // A create sent again (after a lost answer) updates the word it made the first time.
    m_database.run(QStringLiteral("INSERT INTO legacy_words (user_id, client_id, word_text, meaning, context)"
                                  " VALUES (?, ?, ?, ?, ?) ON CONFLICT (user_id, client_id) DO UPDATE SET"
                                  " word_text = excluded.word_text, meaning = excluded.meaning,"
                                  " context = excluded.context"),
        {call.userId, word.clientId, word.text, word.meaning, word.context});
    const qint64 id = m_database
                          .value(QStringLiteral("SELECT id FROM legacy_words WHERE user_id = ? AND client_id = ?"),
                              {call.userId, word.clientId})
                          .toLongLong();
    return Reply::legacy(legacyWordJson(id));
}

Reply Api::updateLegacyWord(const Call &call)
{
    const LegacyWordBody word = readLegacyWord(call.body());
    const int changed = m_database
                            .run(QStringLiteral("UPDATE legacy_words SET word_text = ?, meaning = ?, context = ?"
                                                " WHERE id = ? AND user_id = ?"),
                                {word.text, word.meaning, word.context, call.ids[0], call.userId})
                            .numRowsAffected();
    if (changed == 0)
        throw ApiError::notFound();
    return Reply::legacy(legacyWordJson(call.ids[0]));
}

Reply Api::deleteLegacyWord(const Call &call)
{
    if (m_database
            .run(QStringLiteral("DELETE FROM legacy_words WHERE id = ? AND user_id = ?"), {call.ids[0], call.userId})
            .numRowsAffected()
        == 0)
        throw ApiError::notFound();
    return Reply {204, {}, {}};
}

Reply Api::updateLegacyPreferences(const Call &call)
{
    const BodyReader body = call.body();
    const QString voiceId = body.string("voice_id", maximumVoiceIdLength);
    const qint64 cycles = body.integer("cycle_count");
    if (voiceId.trimmed().isEmpty())
        throw ApiError::badRequest(QStringLiteral("音色不能为空"));
    if (cycles < 0 || cycles > 99)
        throw ApiError::badRequest(QStringLiteral("循环次数必须在 0 到 99 之间"));
    m_database.run(QStringLiteral("INSERT INTO legacy_preferences (user_id, voice_id, cycle_count) VALUES (?, ?, ?)"
                                  " ON CONFLICT (user_id) DO UPDATE SET voice_id = excluded.voice_id,"
                                  " cycle_count = excluded.cycle_count"),
        {call.userId, voiceId, cycles});
    return Reply::legacy(QJsonObject {{"voice_id", voiceId}, {"cycle_count", cycles}});
}

} // namespace standin
