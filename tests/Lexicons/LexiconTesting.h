#pragma once

#include "../Session/SessionTesting.h"
#include "FakeGate.h"

#include "Lexicons/UserLexiconServices.h"
#include "Networking/BackendConfiguration.h"
#include "Persistence/LocalWordStore.h"
#include "Persistence/UserLexiconWordSnapshotStore.h"

#include <QJsonArray>

// The private lexicon screens over real parts: the real session and REST client
// against a loopback server the test scripts, a real SQLite store and real
// snapshot files. The sync engine's one call is scripted.
namespace lexicontesting {

using namespace talvoro;
using namespace testsupport;
using namespace sessiontesting;

inline const QString wordsPath = QStringLiteral("/api/v1/user/words");
inline const QString lexiconsPath = QStringLiteral("/api/v1/user/lexicons");
inline const QString preferencesPath = QStringLiteral("/api/v1/user/playback-preferences");

inline ORVWord word(qint64 id, const QString &text)
{
    ORVWord w;
    w.id = id;
    w.wordDisplay = text;
    w.wordNormalized = text;
    w.translationsZh = {QStringLiteral("义%1").arg(id)};
    return w;
}

inline QList<ORVWord> words(const QList<qint64> &ids)
{
    QList<ORVWord> list;
    for (qint64 id : ids)
        list.append(word(id, QStringLiteral("w%1").arg(id)));
    return list;
}

inline QJsonArray wordsJson(const QList<ORVWord> &list)
{
    QJsonArray array;
    for (const ORVWord &w : list)
        array.append(w.toJson());
    return array;
}

inline UserLexicon lexicon(qint64 id, const QString &name, qint64 version = 1, qint64 wordCount = 0)
{
    UserLexicon l;
    l.id = id;
    l.name = name;
    l.version = version;
    l.wordCount = wordCount;
    return l;
}

inline QList<qint64> idsOf(const QList<ORVWord> &list)
{
    QList<qint64> ids;
    for (const ORVWord &w : list)
        ids.append(w.id);
    return ids;
}

struct LexiconFixture : ClientFixture {
    LocalWordStore store {{dir.filePath(QStringLiteral("store.sqlite")), true}};
    std::unique_ptr<UserLexiconWordSnapshotStore> snapshots
        = std::make_unique<UserLexiconWordSnapshotStore>(dir.filePath(QStringLiteral("UserLexiconWords")));
    std::optional<QString> environmentKey = BackendConfiguration::environmentPartitionKey(sessions.server.baseUrl());
    QString owner = *BackendConfiguration::ownerKey(7, environmentKey);
    int syncs = 0;
    std::function<void()> onSync;
    // Holds each sync until the test opens its gate.
    bool holdSync = false;
    QList<std::shared_ptr<Gate>> syncGates;

    LexiconFixture() { sessions.signIn(); }

    UserLexiconServices services()
    {
        UserLexiconServices s;
        s.apiClient = &client;
        s.store = &store;
        s.snapshots = snapshots.get();
        s.session = sessions.session.get();
        s.environmentKey = environmentKey;
        s.synchronizePrivateLexicons = [this](QString, QString) { return synchronize(); };
        return s;
    }
    Task<> synchronize()
    {
        ++syncs;
        auto gate = newGate(holdSync);
        syncGates.append(gate);
        co_await GateAwaiter(gate, {});
        if (onSync)
            onSync();
    }
    void signOut()
    {
        sessions.server.route("POST", logoutPath, ScriptedResponse::json(200, "{}"));
        sessions.session->logout();
        QVERIFY(!sessions.session->state().snapshot());
    }
};

} // namespace lexicontesting
