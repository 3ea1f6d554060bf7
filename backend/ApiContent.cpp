#include "Api.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <algorithm>

namespace standin {
namespace {

constexpr qsizetype maximumLoopModeLength = 32;

const QStringList unitNames {QStringLiteral("WORD"), QStringLiteral("SPELLING"), QStringLiteral("TRANSLATION_ZH"),
    QStringLiteral("EXPLANATION")};

// The optional word fields a client may clear: wire name, body key, column.
struct ClearableField {
    const char *wireName;
    const char *key;
    const char *column;
};
constexpr ClearableField clearableFields[] {{"IPA", "ipa", "ipa"}, {"SYLLABLES", "syllables", "syllables"},
    {"EXPLANATION", "explanation", "explanation"}, {"USAGE_SCENARIO", "usageScenario", "usage_scenario"}};

QString normalized(const QString &display)
{
    return display.simplified().toLower();
}

QString requiredText(const QString &text, const QString &message)
{
    const QString result = text.trimmed();
    if (result.isEmpty() || result.size() > 200)
        throw ApiError::badRequest(message);
    return result;
}

QJsonArray parseArray(const QVariant &text)
{
    return QJsonDocument::fromJson(text.toByteArray()).array();
}

QByteArray serialize(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

void insertIfPresent(QJsonObject &object, const char *key, const QVariant &value)
{
    if (!value.isNull())
        object.insert(QLatin1String(key), value.toString());
}

void checkRate(const QString &key, double rate)
{
    if (rate < 0.5 || rate > 2.0)
        throw ApiError::badRequest(QStringLiteral("%1 必须在 0.5 到 2.0 之间").arg(key));
}

void checkVoice(const QString &key, const QString &voiceId, Language language)
{
    const std::optional<Voice> voice = findVoice(voiceId);
    if (!voice || voice->language() != language)
        throw ApiError::badRequest(QStringLiteral("%1 的音色与语言不匹配").arg(key));
}

void checkRepeatCount(qint64 count)
{
    if (count < 1 || count > 20)
        throw ApiError::badRequest(QStringLiteral("单词播放次数必须在 1 到 20 次之间"));
}

QJsonArray defaultUnits()
{
    QJsonArray units;
    for (qsizetype i = 0; i < unitNames.size(); ++i)
        units.append(QJsonObject {{"unit", unitNames[i]}, {"enabled", true}, {"position", i + 1}, {"version", 1}});
    return units;
}

QJsonObject defaultPreference()
{
    return QJsonObject {{"playbackItems", QJsonArray::fromStringList(unitNames)}, {"voiceEn", "en-US-JennyNeural"},
        {"voiceZh", "zh-CN-XiaoxiaoNeural"}, {"speechRate", 1.0}, {"speechRateEn", 1.0}, {"speechRateZh", 1.0},
        {"spellingRate", 1.25}, {"version", 1}};
}

} // namespace

// Checks and steps several handlers share

void Api::requireOwnLexicon(qint64 userId, qint64 lexiconId)
{
    if (!m_database.value(QStringLiteral("SELECT 1 FROM lexicons WHERE id = ? AND owner_id = ?"), {lexiconId, userId})
             .isValid())
        throw ApiError::notFound();
}

void Api::requireOwnWord(qint64 userId, qint64 wordId)
{
    if (!m_database.value(QStringLiteral("SELECT 1 FROM words WHERE id = ? AND owner_id = ?"), {wordId, userId})
             .isValid())
        throw ApiError::notFound();
}

void Api::requireVisibleWord(qint64 userId, qint64 wordId)
{
    if (!m_database
             .value(QStringLiteral("SELECT 1 FROM words WHERE id = ? AND (owner_id = ? OR owner_id IS NULL)"),
                 {wordId, userId})
             .isValid())
        throw ApiError::notFound();
}

qint64 Api::requireOwnPlaylist(qint64 userId, qint64 playlistId)
{
    const QVariant version = m_database.value(
        QStringLiteral("SELECT version FROM playlists WHERE id = ? AND owner_id = ? AND deleted_at IS NULL"),
        {playlistId, userId});
    if (!version.isValid())
        throw ApiError::notFound();
    return version.toLongLong();
}

void Api::touchLexicon(qint64 lexiconId)
{
    m_database.run(QStringLiteral("UPDATE lexicons SET version = version + 1, updated_at = ? WHERE id = ?"),
        {timestampNow(), lexiconId});
}

void Api::appendToLexicon(qint64 lexiconId, qint64 wordId)
{
    m_database.run(QStringLiteral("INSERT OR IGNORE INTO lexicon_words (lexicon_id, word_id, position) VALUES"
                                  " (?, ?, (SELECT COALESCE(MAX(position), 0) + 1 FROM lexicon_words"
                                  " WHERE lexicon_id = ?))"),
        {lexiconId, wordId, lexiconId});
    touchLexicon(lexiconId);
}

void Api::renumberLexicon(qint64 lexiconId)
{
    QSqlQuery rows = m_database.run(
        QStringLiteral("SELECT word_id FROM lexicon_words WHERE lexicon_id = ? ORDER BY position"), {lexiconId});
    QList<qint64> words;
    while (rows.next())
        words.append(rows.value(0).toLongLong());
    for (qsizetype i = 0; i < words.size(); ++i)
        m_database.run(QStringLiteral("UPDATE lexicon_words SET position = ? WHERE lexicon_id = ? AND word_id = ?"),
            {i + 1, lexiconId, words[i]});
    touchLexicon(lexiconId);
}

std::optional<QJsonObject> Api::storedProfile(qint64 userId, qint64 wordId)
{
    QSqlQuery row = m_database.run(QStringLiteral("SELECT version, repeat_count, units, updated_at FROM profiles"
                                                  " WHERE user_id = ? AND word_id = ?"),
        {userId, wordId});
    if (!row.next())
        return std::nullopt;
    return QJsonObject {{"wordId", wordId}, {"version", row.value(0).toLongLong()},
        {"repeatCount", row.value(1).toLongLong()}, {"units", parseArray(row.value(2))},
        {"updatedAt", row.value(3).toString()}};
}

QJsonObject Api::wordJson(qint64 userId, qint64 wordId)
{
    QSqlQuery row = m_database.run(QStringLiteral("SELECT display, normalized, ipa, syllables, translations,"
                                                  " explanation, usage_scenario, version FROM words WHERE id = ?"),
        {wordId});
    if (!row.next())
        throw ApiError::notFound();
    QJsonObject word {{"id", wordId}, {"wordDisplay", row.value(0).toString()},
        {"wordNormalized", row.value(1).toString()}, {"translationsZh", parseArray(row.value(4))},
        {"version", row.value(7).toLongLong()}, {"repeatCount", 1}};
    insertIfPresent(word, "ipa", row.value(2));
    insertIfPresent(word, "syllables", row.value(3));
    insertIfPresent(word, "explanation", row.value(5));
    insertIfPresent(word, "usageScenario", row.value(6));
    if (const auto profile = storedProfile(userId, wordId)) {
        word.insert("playbackProfile", *profile);
        word.insert("repeatCount", profile->value("repeatCount"));
    }
    return word;
}

QJsonObject Api::userLexiconJson(qint64 lexiconId)
{
    QSqlQuery row = m_database.run(QStringLiteral("SELECT name, description, version, updated_at,"
                                                  " (SELECT COUNT(*) FROM lexicon_words WHERE lexicon_id = l.id)"
                                                  " FROM lexicons l WHERE id = ?"),
        {lexiconId});
    if (!row.next())
        throw ApiError::notFound();
    QJsonObject lexicon {{"id", lexiconId}, {"name", row.value(0).toString()}, {"version", row.value(2).toLongLong()},
        {"wordCount", row.value(4).toLongLong()}, {"updatedAt", row.value(3).toString()}};
    insertIfPresent(lexicon, "description", row.value(1));
    return lexicon;
}

// Public lexicons

Reply Api::publicLexicons(const Call &)
{
    QJsonArray lexicons;
    QSqlQuery rows = m_database.run(QStringLiteral("SELECT id, name, description, category, updated_at, (SELECT "
                                                   "COUNT(*) FROM lexicon_words WHERE lexicon_id = l.id)"
                                                   " FROM lexicons l WHERE owner_id IS NULL ORDER BY id"));
    while (rows.next()) {
        QJsonObject lexicon {{"id", rows.value(0).toLongLong()}, {"name", rows.value(1).toString()},
            {"wordCount", rows.value(5).toLongLong()}, {"updatedAt", rows.value(4).toString()}};
        insertIfPresent(lexicon, "description", rows.value(2));
        insertIfPresent(lexicon, "category", rows.value(3));
        lexicons.append(lexicon);
    }
    return Reply::envelope(lexicons);
}

Reply Api::publicLexicon(const Call &call)
{
    QSqlQuery row = m_database.run(
        QStringLiteral("SELECT name, description, category FROM lexicons WHERE id = ? AND owner_id IS NULL"),
        {call.ids[0]});
    if (!row.next())
        throw ApiError::notFound();
    QJsonObject lexicon {{"id", call.ids[0]}, {"name", row.value(0).toString()}};
    insertIfPresent(lexicon, "description", row.value(1));
    insertIfPresent(lexicon, "category", row.value(2));
    QJsonArray words;
    QSqlQuery members = m_database.run(
        QStringLiteral("SELECT word_id FROM lexicon_words WHERE lexicon_id = ? ORDER BY position"), {call.ids[0]});
    while (members.next())
        words.append(wordJson(0, members.value(0).toLongLong()));
    lexicon.insert("words", words);
    return Reply::envelope(lexicon);
}

// Private lexicons and words

Reply Api::userLexicons(const Call &call)
{
    QJsonArray lexicons;
    QSqlQuery rows
        = m_database.run(QStringLiteral("SELECT id FROM lexicons WHERE owner_id = ? ORDER BY id"), {call.userId});
    while (rows.next())
        lexicons.append(userLexiconJson(rows.value(0).toLongLong()));
    return Reply::envelope(lexicons);
}

Reply Api::createLexicon(const Call &call)
{
    const BodyReader body = call.body();
    const QString name = requiredText(body.string("name"), QStringLiteral("词库名称不能为空，且不超过 200 个字符"));
    const std::optional<QString> description = body.optionalString("description");
    m_database.run(QStringLiteral("INSERT INTO lexicons (owner_id, name, description, updated_at) VALUES (?, ?, ?, ?)"),
        {call.userId, name, description ? QVariant(*description) : QVariant(), timestampNow()});
    return Reply::envelope(
        userLexiconJson(m_database.value(QStringLiteral("SELECT last_insert_rowid()")).toLongLong()));
}

Reply Api::userWords(const Call &call)
{
    QSqlQuery rows;
    const QString lexiconText = call.request.queryValue(QStringLiteral("lexiconId"));
    if (lexiconText.isEmpty()) {
        rows = m_database.run(QStringLiteral("SELECT id FROM words WHERE owner_id = ? ORDER BY id"), {call.userId});
    } else {
        const std::optional<qint64> lexiconId = readId(lexiconText);
        if (!lexiconId)
            throw ApiError::badRequest(QStringLiteral("lexiconId 必须是整数"));
        requireOwnLexicon(call.userId, *lexiconId);
        rows = m_database.run(
            QStringLiteral("SELECT word_id FROM lexicon_words WHERE lexicon_id = ? ORDER BY position"), {*lexiconId});
    }
    QJsonArray words;
    while (rows.next())
        words.append(wordJson(call.userId, rows.value(0).toLongLong()));
    return Reply::envelope(words);
}

Reply Api::createWord(const Call &call)
{
    const BodyReader body = call.body();
    const QString display = requiredText(body.string("word"), QStringLiteral("单词不能为空，且不超过 200 个字符"));
    const QStringList translations = body.stringArray("translationsZh");
    const auto optional = [&body](const char *key) {
        const std::optional<QString> value = body.optionalString(QLatin1String(key));
        return value ? QVariant(*value) : QVariant();
    };
    const std::optional<qint64> lexiconId = body.optionalInteger("lexiconId");
    return m_database.transaction([&] {
        if (lexiconId)
            requireOwnLexicon(call.userId, *lexiconId);
        m_database.run(QStringLiteral("INSERT INTO words (owner_id, display, normalized, ipa, syllables, translations,"
                                      " explanation, updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
            {call.userId, display, normalized(display), optional("ipa"), optional("syllables"),
                serialize(QJsonArray::fromStringList(translations)), optional("explanation"), timestampNow()});
        const qint64 wordId = m_database.value(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
        if (lexiconId)
            appendToLexicon(*lexiconId, wordId);
        return Reply::envelope(wordJson(call.userId, wordId));
    });
}

Reply Api::updateWord(const Call &call)
{
    const BodyReader body = call.body();
    const qint64 baseVersion = body.integer("baseVersion");
    const QStringList clear = body.stringArray("clearFields");
    QStringList assignments;
    QVariantList binds;
    if (const auto display = body.optionalString("wordDisplay")) {
        const QString text = requiredText(*display, QStringLiteral("单词不能为空，且不超过 200 个字符"));
        assignments << QStringLiteral("display = ?") << QStringLiteral("normalized = ?");
        binds << text << normalized(text);
    }
    if (const auto translations = body.optionalStringArray("translationsZh")) {
        assignments << QStringLiteral("translations = ?");
        binds << serialize(QJsonArray::fromStringList(*translations));
    }
    for (const QString &name : clear) {
        if (std::none_of(std::begin(clearableFields), std::end(clearableFields),
                [&](const ClearableField &field) { return name == QLatin1String(field.wireName); }))
            throw ApiError::badRequest(QStringLiteral("无法清空字段：%1").arg(name));
    }
    for (const ClearableField &field : clearableFields) {
        const std::optional<QString> value = body.optionalString(QLatin1String(field.key));
        const bool cleared = clear.contains(QLatin1String(field.wireName));
        if (value && cleared)
            throw ApiError::badRequest(QStringLiteral("同一字段不能同时更新和清空"));
        if (value || cleared) {
            assignments << QLatin1String(field.column) + QStringLiteral(" = ?");
            binds << (value ? QVariant(*value) : QVariant());
        }
    }
    if (assignments.isEmpty())
        throw ApiError::badRequest(QStringLiteral("没有需要保存的单词内容"));

    return m_database.transaction([&] {
        requireOwnWord(call.userId, call.ids[0]);
        if (m_database.value(QStringLiteral("SELECT version FROM words WHERE id = ?"), {call.ids[0]}).toLongLong()
            != baseVersion)
            throw ApiError::conflict();
        m_database.run(QStringLiteral("UPDATE words SET %1, version = version + 1, updated_at = ? WHERE id = ?")
                           .arg(assignments.join(QStringLiteral(", "))),
            binds + QVariantList {timestampNow(), call.ids[0]});
        return Reply::envelope(wordJson(call.userId, call.ids[0]));
    });
}

Reply Api::moveWord(const Call &call)
{
    const BodyReader body = call.body();
    const qint64 source = body.integer("sourceLexiconId");
    const qint64 target = body.integer("targetLexiconId");
    const qint64 wordId = call.ids[0];
    return m_database.transaction([&] {
        requireOwnWord(call.userId, wordId);
        requireOwnLexicon(call.userId, source);
        requireOwnLexicon(call.userId, target);
        if (!m_database
                 .value(QStringLiteral("SELECT 1 FROM lexicon_words WHERE lexicon_id = ? AND word_id = ?"),
                     {source, wordId})
                 .isValid())
            throw ApiError::notFound();
        const bool moved = source != target;
        if (moved) {
            m_database.run(
                QStringLiteral("DELETE FROM lexicon_words WHERE lexicon_id = ? AND word_id = ?"), {source, wordId});
            renumberLexicon(source);
            appendToLexicon(target, wordId);
        }
        return Reply::envelope(QJsonObject {
            {"wordId", wordId}, {"sourceLexiconId", source}, {"targetLexiconId", target}, {"moved", moved}});
    });
}

Reply Api::reorderWords(const Call &call)
{
    const BodyReader body = call.body();
    const qint64 baseVersion = body.integer("baseVersion");
    QList<std::pair<qint64, qint64>> order; // position, word
    for (const BodyReader &item : body.objectArray("items"))
        order.append({item.integer("position"), item.integer("wordId")});
    std::sort(order.begin(), order.end());
    const qint64 lexiconId = call.ids[0];
    return m_database.transaction([&] {
        requireOwnLexicon(call.userId, lexiconId);
        if (m_database.value(QStringLiteral("SELECT version FROM lexicons WHERE id = ?"), {lexiconId}).toLongLong()
            != baseVersion)
            throw ApiError::conflict();
        QSet<qint64> members;
        QSqlQuery rows
            = m_database.run(QStringLiteral("SELECT word_id FROM lexicon_words WHERE lexicon_id = ?"), {lexiconId});
        while (rows.next())
            members.insert(rows.value(0).toLongLong());
        QSet<qint64> given;
        for (qsizetype i = 0; i < order.size(); ++i) {
            if (order[i].first != i + 1 || !members.contains(order[i].second))
                break;
            given.insert(order[i].second);
        }
        if (given.size() != order.size() || given != members)
            throw ApiError::badRequest(QStringLiteral("新的词序必须恰好包含词库中的每个单词，位置从 1 开始连续编号"));
        QJsonArray items;
        for (const auto &[position, wordId] : order) {
            m_database.run(QStringLiteral("UPDATE lexicon_words SET position = ? WHERE lexicon_id = ? AND word_id = ?"),
                {position, lexiconId, wordId});
            items.append(QJsonObject {{"wordId", wordId}, {"position", position}});
        }
        touchLexicon(lexiconId);
        const qint64 version
            = m_database.value(QStringLiteral("SELECT version FROM lexicons WHERE id = ?"), {lexiconId}).toLongLong();
        return Reply::envelope(QJsonObject {{"lexiconId", lexiconId}, {"version", version}, {"items", items}});
    });
}

Reply Api::removeMembership(const Call &call)
{
    const qint64 lexiconId = call.ids[0];
    const qint64 wordId = call.ids[1];
    return m_database.transaction([&] {
        requireOwnLexicon(call.userId, lexiconId);
        const bool removed = m_database
                                 .run(QStringLiteral("DELETE FROM lexicon_words WHERE lexicon_id = ? AND word_id = ?"),
                                     {lexiconId, wordId})
                                 .numRowsAffected()
            > 0;
        if (removed)
            renumberLexicon(lexiconId);
        return Reply::envelope(QJsonObject {{"lexiconId", lexiconId}, {"wordId", wordId}, {"removed", removed}});
    });
}

Reply Api::deleteWord(const Call &call)
{
    const qint64 wordId = call.ids[0];
    return m_database.transaction([&] {
        requireOwnWord(call.userId, wordId);
        // Lexicons and playlists that held the word change with it.
        QList<qint64> lexicons;
        QSqlQuery rows
            = m_database.run(QStringLiteral("SELECT lexicon_id FROM lexicon_words WHERE word_id = ?"), {wordId});
        while (rows.next())
            lexicons.append(rows.value(0).toLongLong());
        m_database.run(QStringLiteral("UPDATE playlists SET version = version + 1 WHERE id IN"
                                      " (SELECT playlist_id FROM playlist_items WHERE word_id = ?)"),
            {wordId});
        m_database.run(QStringLiteral("DELETE FROM words WHERE id = ?"), {wordId});
        for (const qint64 lexiconId : std::as_const(lexicons))
            renumberLexicon(lexiconId);
        return Reply::envelope(QJsonObject {{"wordId", wordId}, {"deleted", true}});
    });
}

// Playlists

QJsonObject Api::playlistJson(qint64 userId, qint64 playlistId)
{
    QSqlQuery row = m_database.run(
        QStringLiteral("SELECT name, loop_mode, loop_count, version FROM playlists WHERE id = ?"), {playlistId});
    if (!row.next())
        throw ApiError::notFound();
    QJsonObject playlist {{"id", playlistId}, {"name", row.value(0).toString()}, {"loopMode", row.value(1).toString()},
        {"version", row.value(3).toLongLong()}};
    if (!row.isNull(2))
        playlist.insert("loopCount", row.value(2).toLongLong());
    QJsonArray items;
    QSqlQuery rows = m_database.run(QStringLiteral("SELECT word_id, position, repeat_count FROM playlist_items"
                                                   " WHERE playlist_id = ? ORDER BY position, ordinal"),
        {playlistId});
    while (rows.next()) {
        const QJsonObject word = wordJson(userId, rows.value(0).toLongLong());
        QJsonObject item {{"wordId", word.value("id")}, {"wordDisplay", word.value("wordDisplay")},
            {"position", rows.value(1).toLongLong()}, {"repeatCount", rows.value(2).toLongLong()},
            {"translationsZh", word.value("translationsZh")}};
        for (const char *key : {"ipa", "syllables", "explanation", "usageScenario", "playbackProfile"}) {
            if (word.contains(QLatin1String(key)))
                item.insert(QLatin1String(key), word.value(QLatin1String(key)));
        }
        items.append(item);
    }
    playlist.insert("items", items);
    return playlist;
}

void Api::writePlaylistItems(qint64 userId, qint64 playlistId, const BodyReader &body)
{
    m_database.run(QStringLiteral("DELETE FROM playlist_items WHERE playlist_id = ?"), {playlistId});
    const QList<BodyReader> items = body.objectArray("items");
    for (qsizetype i = 0; i < items.size(); ++i) {
        const qint64 wordId = items[i].integer("wordId");
        const qint64 position = items[i].integer("position");
        const qint64 repeatCount = items[i].optionalInteger("repeatCount").value_or(1);
        checkRepeatCount(repeatCount);
        requireVisibleWord(userId, wordId);
        m_database.run(
            QStringLiteral("INSERT INTO playlist_items (playlist_id, ordinal, word_id, position, repeat_count)"
                           " VALUES (?, ?, ?, ?, ?)"),
            {playlistId, i, wordId, position, repeatCount});
    }
}

namespace {
struct PlaylistHeader {
    QString name;
    QString loopMode;
    QVariant loopCount;
};

PlaylistHeader readPlaylistHeader(const BodyReader &body)
{
    PlaylistHeader header {
        requiredText(body.string("name"), QStringLiteral("播放列表名称不能为空，且不超过 200 个字符")),
        body.string("loopMode", maximumLoopModeLength).trimmed(), {}};
    if (header.loopMode.isEmpty())
        throw ApiError::badRequest(QStringLiteral("循环方式不能为空"));
    if (const auto count = body.optionalInteger("loopCount")) {
        if (*count < 1)
            throw ApiError::badRequest(QStringLiteral("循环次数必须大于 0"));
        header.loopCount = *count;
    }
    return header;
}
} // namespace

Reply Api::playlists(const Call &call)
{
    QJsonArray playlists;
    QSqlQuery rows = m_database.run(
        QStringLiteral("SELECT id FROM playlists WHERE owner_id = ? AND deleted_at IS NULL ORDER BY id"),
        {call.userId});
    while (rows.next())
        playlists.append(playlistJson(call.userId, rows.value(0).toLongLong()));
    return Reply::envelope(playlists);
}

Reply Api::createPlaylist(const Call &call)
{
    const BodyReader body = call.body();
    const PlaylistHeader header = readPlaylistHeader(body);
    return m_database.transaction([&] {
        m_database.run(QStringLiteral("INSERT INTO playlists (owner_id, name, loop_mode, loop_count, version)"
                                      " VALUES (?, ?, ?, ?, 1)"),
            {call.userId, header.name, header.loopMode, header.loopCount});
        const qint64 playlistId = m_database.value(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
        writePlaylistItems(call.userId, playlistId, body);
        return Reply::envelope(playlistJson(call.userId, playlistId));
    });
}

Reply Api::updatePlaylist(const Call &call)
{
    const BodyReader body = call.body();
    const PlaylistHeader header = readPlaylistHeader(body);
    const qint64 baseVersion = body.integer("baseVersion");
    const qint64 playlistId = call.ids[0];
    return m_database.transaction([&] {
        if (requireOwnPlaylist(call.userId, playlistId) != baseVersion)
            throw ApiError::conflict();
        m_database.run(QStringLiteral("UPDATE playlists SET name = ?, loop_mode = ?, loop_count = ?,"
                                      " version = version + 1 WHERE id = ?"),
            {header.name, header.loopMode, header.loopCount, playlistId});
        writePlaylistItems(call.userId, playlistId, body);
        return Reply::envelope(playlistJson(call.userId, playlistId));
    });
}

Reply Api::deletePlaylist(const Call &call)
{
    const qint64 playlistId = call.ids[0];
    return m_database.transaction([&] {
        const qint64 version = requireOwnPlaylist(call.userId, playlistId) + 1;
        const QString deletedAt = timestampNow();
        m_database.run(QStringLiteral("UPDATE playlists SET deleted_at = ?, version = ? WHERE id = ?"),
            {deletedAt, version, playlistId});
        m_database.run(QStringLiteral("DELETE FROM playlist_items WHERE playlist_id = ?"), {playlistId});
        return Reply::envelope(
            QJsonObject {{"id", playlistId}, {"deleted", true}, {"deletedAt", deletedAt}, {"version", version}});
    });
}

// Playback profiles and the playback preference

Reply Api::playbackProfile(const Call &call)
{
    const qint64 wordId = call.ids[0];
    requireVisibleWord(call.userId, wordId);
    if (const auto profile = storedProfile(call.userId, wordId))
        return Reply::envelope(*profile);
    // A word without a profile of its own gets the default one, so an editor always
    // starts from something it can save.
    return Reply::envelope(QJsonObject {{"wordId", wordId}, {"version", 1}, {"repeatCount", 1},
        {"units", defaultUnits()}, {"updatedAt", timestampNow()}});
}

Reply Api::updatePlaybackProfile(const Call &call)
{
    const BodyReader body = call.body();
    const qint64 baseVersion = body.integer("baseVersion");
    const qint64 repeatCount = body.optionalInteger("repeatCount").value_or(1);
    checkRepeatCount(repeatCount);
    const QList<BodyReader> given = body.objectArray("units");
    QSet<QString> units;
    QSet<qint64> positions;
    bool anyEnabled = false;
    QList<std::pair<qint64, QJsonObject>> ordered;
    for (const BodyReader &unit : given) {
        const QString name = unit.string("unit");
        const qint64 position = unit.integer("position");
        const bool enabled = unit.boolean("enabled");
        if (!unitNames.contains(name))
            throw ApiError::badRequest(QStringLiteral("未知的播放单元：%1").arg(name));
        units.insert(name);
        positions.insert(position);
        anyEnabled = anyEnabled || enabled;
        QJsonObject stored {{"unit", name}, {"enabled", enabled}, {"position", position}};
        if (const auto rate = unit.optionalNumber("speechRate")) {
            checkRate(QStringLiteral("speechRate"), *rate);
            stored.insert("speechRate", *rate);
        }
        if (const auto voiceId = unit.optionalString("voiceId")) {
            checkVoice(QStringLiteral("voiceId"), *voiceId,
                name == QLatin1String("WORD") ? Language::english : Language::chinese);
            stored.insert("voiceId", *voiceId);
        }
        ordered.append({position, stored});
    }
    if (given.size() != 4 || units.size() != 4)
        throw ApiError::badRequest(QStringLiteral("播放设置必须完整包含四个播放单元"));
    if (positions != QSet<qint64> {1, 2, 3, 4})
        throw ApiError::badRequest(QStringLiteral("播放顺序必须连续且不能重复"));
    if (!anyEnabled)
        throw ApiError::badRequest(QStringLiteral("至少需要开启一个播放单元"));
    std::sort(ordered.begin(), ordered.end(), [](const auto &a, const auto &b) { return a.first < b.first; });

    const qint64 wordId = call.ids[0];
    return m_database.transaction([&] {
        requireVisibleWord(call.userId, wordId);
        const qint64 current
            = storedProfile(call.userId, wordId).value_or(QJsonObject {{"version", 1}}).value("version").toInteger();
        if (current != baseVersion)
            throw ApiError::conflict();
        const qint64 version = current + 1;
        QJsonArray stored;
        for (auto &[position, unit] : ordered) {
            unit.insert("version", version);
            stored.append(unit);
        }
        m_database.run(QStringLiteral("INSERT OR REPLACE INTO profiles (user_id, word_id, version, repeat_count, units,"
                                      " updated_at) VALUES (?, ?, ?, ?, ?, ?)"),
            {call.userId, wordId, version, repeatCount, serialize(stored), timestampNow()});
        return Reply::envelope(*storedProfile(call.userId, wordId));
    });
}

Reply Api::playbackPreference(const Call &call)
{
    QSqlQuery row
        = m_database.run(QStringLiteral("SELECT body, version FROM preferences WHERE user_id = ?"), {call.userId});
    if (!row.next())
        return Reply::envelope(defaultPreference());
    QJsonObject preference = QJsonDocument::fromJson(row.value(0).toByteArray()).object();
    preference.insert("version", row.value(1).toLongLong());
    return Reply::envelope(preference);
}

Reply Api::updatePlaybackPreference(const Call &call)
{
    const BodyReader body = call.body();
    const qint64 baseVersion = body.integer("baseVersion");
    const QStringList items = body.stringArray("playbackItems");
    if (items.isEmpty() || QSet<QString>(items.begin(), items.end()).size() != items.size()
        || std::any_of(items.begin(), items.end(), [](const QString &item) { return !unitNames.contains(item); }))
        throw ApiError::badRequest(QStringLiteral("播放内容必须是互不重复的播放单元"));
    const QString voiceEn = body.string("voiceEn");
    const QString voiceZh = body.string("voiceZh");
    checkVoice(QStringLiteral("voiceEn"), voiceEn, Language::english);
    checkVoice(QStringLiteral("voiceZh"), voiceZh, Language::chinese);
    QJsonObject preference {
        {"playbackItems", QJsonArray::fromStringList(items)}, {"voiceEn", voiceEn}, {"voiceZh", voiceZh}};
    for (const char *key : {"speechRateEn", "speechRateZh", "spellingRate"}) {
        const double rate = body.number(QLatin1String(key));
        checkRate(QLatin1String(key), rate);
        preference.insert(QLatin1String(key), rate);
    }
    // The older single rate follows the English one.
    preference.insert("speechRate", preference.value("speechRateEn"));

    return m_database.transaction([&] {
        const qint64 current
            = m_database.value(QStringLiteral("SELECT version FROM preferences WHERE user_id = ?"), {call.userId})
                  .toLongLong();
        if (std::max<qint64>(current, 1) != baseVersion)
            throw ApiError::conflict();
        const qint64 version = baseVersion + 1;
        m_database.run(QStringLiteral("INSERT OR REPLACE INTO preferences (user_id, body, version) VALUES (?, ?, ?)"),
            {call.userId, QJsonDocument(preference).toJson(QJsonDocument::Compact), version});
        preference.insert("version", version);
        return Reply::envelope(preference);
    });
}

// Seeding

void Api::seed()
{
    QFile file(QStringLiteral(":/seed/lexicons.json"));
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError("the seed content is missing");
    const QJsonObject seed = QJsonDocument::fromJson(file.readAll()).object();
    m_database.transaction([&] {
        const QString now = timestampNow();
        for (const QJsonValue &lexiconValue : seed.value("lexicons").toArray()) {
            const QJsonObject lexicon = lexiconValue.toObject();
            m_database.run(QStringLiteral("INSERT INTO lexicons (name, description, category, updated_at)"
                                          " VALUES (?, ?, ?, ?)"),
                {lexicon.value("name").toString(), lexicon.value("description").toString(),
                    lexicon.value("category").toString(), now});
            const qint64 lexiconId = m_database.value(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
            const QJsonArray words = lexicon.value("words").toArray();
            for (qsizetype i = 0; i < words.size(); ++i) {
                const QJsonObject word = words[i].toObject();
                const QString display = word.value("word").toString();
                m_database.run(
                    QStringLiteral("INSERT INTO words (display, normalized, ipa, syllables, translations,"
                                   " explanation, usage_scenario, updated_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                    {display, normalized(display), word.value("ipa").toString(), word.value("syllables").toString(),
                        serialize(word.value("translations").toArray()), word.value("explanation").toString(),
                        word.value("usage").toString(), now});
                m_database.run(QStringLiteral("INSERT INTO lexicon_words (lexicon_id, word_id, position)"
                                              " VALUES (?, last_insert_rowid(), ?)"),
                    {lexiconId, i + 1});
            }
        }
        const QJsonObject demo = seed.value("demo").toObject();
        m_accounts.createUser(demo.value("username").toString(), demo.value("password").toString());
    });
}

} // namespace standin
