#pragma once

#include "../Session/SessionTesting.h"

#include "Models/Lexicon.h"
#include "Models/Word.h"

#include <QJsonArray>

// The word sheets over real parts: the real session and REST client against a
// loopback server the test scripts.
namespace wordsheettesting {

using namespace talvoro;
using namespace testsupport;
using namespace sessiontesting;

inline const QString wordsPath = QStringLiteral("/api/v1/user/words");
inline const QString lexiconsPath = QStringLiteral("/api/v1/user/lexicons");

inline QString wordPath(qint64 id)
{
    return wordsPath + QStringLiteral("/%1").arg(id);
}

inline QString movePath(qint64 id)
{
    return wordPath(id) + QStringLiteral("/move");
}

inline ORVWord word(qint64 id, const QString &text, qint64 version = 3)
{
    ORVWord w;
    w.id = id;
    w.wordDisplay = text;
    w.wordNormalized = text.toLower();
    w.version = version;
    return w;
}

inline UserLexicon lexicon(qint64 id, const QString &name, qint64 wordCount)
{
    UserLexicon l;
    l.id = id;
    l.name = name;
    l.version = 1;
    l.wordCount = wordCount;
    return l;
}

inline ScriptedResponse lexiconsAnswer(const QList<UserLexicon> &lexicons)
{
    QJsonArray list;
    for (const UserLexicon &l : lexicons)
        list.append(l.toJson());
    return ScriptedResponse::json(200, envelope(list));
}

inline ScriptedResponse moveAnswer(qint64 wordId, qint64 source, qint64 target)
{
    return ScriptedResponse::json(200,
        envelope(QJsonObject {{QStringLiteral("wordId"), wordId}, {QStringLiteral("sourceLexiconId"), source},
            {QStringLiteral("targetLexiconId"), target}, {QStringLiteral("moved"), true}}));
}

inline ScriptedResponse serverFailure()
{
    return ScriptedResponse::json(500, errorAnswer(QStringLiteral("INTERNAL_ERROR"), QStringLiteral("服务器开小差了")));
}

struct SheetFixture : ClientFixture {
    explicit SheetFixture(bool signedIn = true)
    {
        if (signedIn)
            sessions.signIn();
    }
    QPointer<AppSession> session() { return sessions.session.get(); }
    // Answers a word update as the backend would: the fields sent, one version on.
    void answerUpdates(qint64 id, bool held = false)
    {
        server().route("PUT", wordPath(id), [id, held](const RecordedRequest &request) {
            const QJsonObject body = bodyOf(request);
            ORVWord updated = word(id, body[QStringLiteral("wordDisplay")].toString(),
                body[QStringLiteral("baseVersion")].toInteger() + 1);
            for (const QJsonValue &meaning : body[QStringLiteral("translationsZh")].toArray())
                updated.translationsZh.append(meaning.toString());
            const ScriptedResponse answer = ScriptedResponse::json(200, envelope(updated.toJson()));
            return held ? ScriptedResponse::heldBack(answer) : answer;
        });
    }
};

} // namespace wordsheettesting
