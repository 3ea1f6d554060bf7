#include "BackendChecks.h"
#include "BackendProcess.h"
#include "TestRegistry.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace backendtest;

namespace {

QJsonObject jwtPart(const QString &token, int part)
{
    return QJsonDocument::fromJson(
        QByteArray::fromBase64(token.split(u'.').value(part).toLatin1(), QByteArray::Base64UrlEncoding))
        .object();
}

} // namespace

class BackendAccountsTest : public QObject {
    Q_OBJECT

    BackendProcess m_backend;

    Answer refresh(BackendProcess &backend, const QString &token)
    {
        return backend.call("POST", QStringLiteral("/api/v1/auth/refresh"), QJsonObject {{"refreshToken", token}});
    }

    Answer login(BackendProcess &backend, const QString &username, const QString &password)
    {
        return backend.call(
            "POST", QStringLiteral("/api/v1/auth/login"), QJsonObject {{"username", username}, {"password", password}});
    }

    int lexiconsStatus(BackendProcess &backend, const QString &accessToken)
    {
        return backend.call("GET", QStringLiteral("/api/v1/user/lexicons"), accessToken).status;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_backend.start()); }

    void registrationFollowsTheNameAndPasswordRules_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("outcome");
        const auto row = [](const char *name, const QString &username, const QString &password, const char *outcome) {
            QTest::newRow(name) << username << password << QString::fromLatin1(outcome);
        };
        const QString ok = QStringLiteral("abc12345");
        const char *refused = "400 VALIDATION_FAILED";
        row("valid", QStringLiteral("new.user_1"), ok, "200");
        row("name of 3", QStringLiteral("a-b"), ok, "200");
        row("name of 64", QString(64, u'x'), ok, "200");
        row("name of 2", QStringLiteral("ab"), ok, refused);
        row("name of 65", QString(65, u'y'), ok, refused);
        row("space inside", QStringLiteral("new user"), ok, refused);
        row("line break at the end", QStringLiteral("newuser\n"), ok, refused);
        row("Chinese name", QStringLiteral("学习者"), ok, refused);
        row("letters only", QStringLiteral("user.a"), QStringLiteral("abcdefgh"), refused);
        row("digits only", QStringLiteral("user.b"), QStringLiteral("12345678"), refused);
        row("7 characters", QStringLiteral("user.c"), QStringLiteral("abc1234"), refused);
        row("128 characters", QStringLiteral("user.d"), QString(127, u'a') + u'1', "200");
        row("129 characters", QStringLiteral("user.e"), QString(128, u'a') + u'1', refused);
        row("taken, other case", QStringLiteral("DEMO"), ok, "409 USERNAME_TAKEN");
    }
    void registrationFollowsTheNameAndPasswordRules()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        const Answer answer = m_backend.call("POST", QStringLiteral("/api/v1/auth/register"),
            QJsonObject {{"username", username}, {"password", password}});
        QTEST(outcome(answer), "outcome");
        QCOMPARE(answer.json().value("success").toBool(), answer.status == 200);
        if (answer.status == 200) {
            QCOMPARE(answer.data()["user"]["username"].toString(), username);
            QCOMPARE(login(m_backend, username, password).status, 200);
        } else {
            QVERIFY(isChinese(answer.errorMessage()));
        }
    }

    void theTokenAnswerCarriesAJsonWebTokenWithTheUserId()
    {
        const Answer answer = login(m_backend, QStringLiteral("demo"), QStringLiteral("listen2learn"));
        QCOMPARE(answer.status, 200);
        const QJsonObject data = answer.data().toObject();
        const qint64 userId = data["user"]["id"].toInteger();
        QVERIFY(userId >= 1);
        QCOMPARE(data["user"]["username"].toString(), QStringLiteral("demo"));
        QVERIFY(data["refreshExpiresIn"].toInteger() >= 1);
        QVERIFY(!data["refreshToken"].toString().isEmpty());

        const QString token = data["accessToken"].toString();
        QCOMPARE(jwtPart(token, 0)["alg"].toString(), QStringLiteral("HS256"));
        const QJsonObject claims = jwtPart(token, 1);
        QCOMPARE(claims["sub"].toString(), QString::number(userId));
        QCOMPARE(claims["exp"].toInteger() - claims["iat"].toInteger(), data["expiresIn"].toInteger());
    }

    void loginRefusesWrongCredentials_data()
    {
        QTest::addColumn<QString>("username");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("status");
        const auto row = [](const char *name, const char *username, const char *password, int status) {
            QTest::newRow(name) << QString::fromUtf8(username) << QString::fromUtf8(password) << status;
        };
        row("name in other case", "Demo", "listen2learn", 200);
        row("wrong password", "demo", "listen2learm", 401);
        row("password in other case", "demo", "LISTEN2LEARN", 401);
        row("unknown user", "nobody.here", "listen2learn", 401);
    }
    void loginRefusesWrongCredentials()
    {
        QFETCH(QString, username);
        QFETCH(QString, password);
        QFETCH(int, status);
        const Answer answer = login(m_backend, username, password);
        QCOMPARE(answer.status, status);
        if (status != 200) {
            QCOMPARE(answer.errorCode(), QStringLiteral("AUTH_INVALID_CREDENTIALS"));
            QCOMPARE(answer.errorMessage(), QStringLiteral("用户名或密码不正确"));
        }
    }

    void refreshRotatesAndAReusedTokenRevokesItsFamily()
    {
        const Account account = m_backend.registerAccount();
        // A second sign-in on another device: its own family, untouched below.
        const QString otherDevice
            = login(m_backend, account.username, account.password).data()["refreshToken"].toString();

        const Answer first = refresh(m_backend, account.refreshToken);
        QCOMPARE(first.status, 200);
        const QString rotated = first.data()["refreshToken"].toString();
        QVERIFY(!rotated.isEmpty() && rotated != account.refreshToken);
        QCOMPARE(first.data()["user"]["id"].toInteger(), account.userId);
        QCOMPARE(lexiconsStatus(m_backend, first.data()["accessToken"].toString()), 200);

        QCOMPARE(outcome(refresh(m_backend, account.refreshToken)), QStringLiteral("401 AUTH_REFRESH_REUSED"));
        QCOMPARE(outcome(refresh(m_backend, rotated)), QStringLiteral("401 AUTH_REFRESH_REVOKED"));

        QCOMPARE(refresh(m_backend, otherDevice).status, 200);
    }

    void logoutRevokesAndUnknownTokensAreInvalid()
    {
        const Account account = m_backend.registerAccount();
        const auto logout = [&](const QString &token) {
            return m_backend.call("POST", QStringLiteral("/api/v1/auth/logout"), QJsonObject {{"refreshToken", token}})
                .status;
        };
        QCOMPARE(logout(account.refreshToken), 200);
        QCOMPARE(outcome(refresh(m_backend, account.refreshToken)), QStringLiteral("401 AUTH_REFRESH_REVOKED"));

        QCOMPARE(
            outcome(refresh(m_backend, QStringLiteral("no-such-token"))), QStringLiteral("401 AUTH_REFRESH_INVALID"));
        QCOMPARE(logout(QStringLiteral("no-such-token")), 200);
    }

    void userEndpointsNeedAGenuineAccessToken_data()
    {
        QTest::addColumn<QString>("token");
        QTest::addColumn<int>("status");
        const Account account = m_backend.registerAccount();
        const QStringList parts = account.accessToken.split(u'.');
        QJsonObject claims = jwtPart(account.accessToken, 1);
        claims["sub"] = QString::number(account.userId - 1);
        const QString otherUser
            = QString::fromLatin1(QJsonDocument(claims)
                                      .toJson(QJsonDocument::Compact)
                                      .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        QTest::newRow("genuine") << account.accessToken << 200;
        QTest::newRow("missing") << QString() << 401;
        QTest::newRow("garbage") << QStringLiteral("not.a.token") << 401;
        QTest::newRow("other user's id, old signature") << parts[0] + u'.' + otherUser + u'.' + parts[2] << 401;
        QTest::newRow("unsigned") << parts[0] + u'.' + parts[1] + u'.' << 401;
    }
    void userEndpointsNeedAGenuineAccessToken()
    {
        QFETCH(QString, token);
        QFETCH(int, status);
        const Answer answer = m_backend.call("GET", QStringLiteral("/api/v1/user/playlists"), token);
        QCOMPARE(answer.status, status);
        if (status == 401)
            QVERIFY(answer.errorCode().startsWith(QLatin1String("AUTH_TOKEN_")));
    }

    void tokensExpireAfterTheirLifetime()
    {
        BackendProcess shortLived;
        QVERIFY(shortLived.start({QStringLiteral("--http"), QStringLiteral("--access-ttl"), QStringLiteral("1"),
            QStringLiteral("--refresh-ttl"), QStringLiteral("1")}));
        QCOMPARE(shortLived.baseUrl().scheme(), QStringLiteral("http"));
        const Account account = shortLived.registerAccount();
        QCOMPARE(login(shortLived, account.username, account.password).data()["expiresIn"].toInteger(), 1);
        QTest::qWait(2200); // lifetimes are whole seconds: two of them have surely passed

        QCOMPARE(outcome(shortLived.call("GET", QStringLiteral("/api/v1/user/lexicons"), account.accessToken)),
            QStringLiteral("401 AUTH_TOKEN_EXPIRED"));
        QCOMPARE(outcome(refresh(shortLived, account.refreshToken)), QStringLiteral("401 AUTH_REFRESH_EXPIRED"));
    }

    void aDisabledAccountIsRefusedAfterARestart()
    {
        BackendProcess backend;
        QVERIFY(backend.start());
        const Account account = backend.registerAccount();
        const QByteArray authority = backend.authority().value(0).toPem();
        backend.stop();
        QVERIFY(backend.start({QStringLiteral("--disable-user"), account.username}));
        QCOMPARE(backend.authority().value(0).toPem(), authority); // trusted once, trusted after a restart

        QCOMPARE(outcome(refresh(backend, account.refreshToken)), QStringLiteral("403 AUTH_ACCOUNT_DISABLED"));
        QCOMPARE(login(backend, account.username, account.password).status, 403);
        QCOMPARE(lexiconsStatus(backend, account.accessToken), 401);
        QCOMPARE(login(backend, QStringLiteral("demo"), QStringLiteral("listen2learn")).status, 200);
    }

    void repeatedFailedLoginsAreHeldBackPerNameAndPerAddress()
    {
        BackendProcess backend; // its own, as it holds this address back at the end
        QVERIFY(backend.start());
        const Account guessed = backend.registerAccount();
        const Account other = backend.registerAccount();
        for (int attempt = 0; attempt < 5; ++attempt)
            QCOMPARE(login(backend, guessed.username, QStringLiteral("guess%1word").arg(attempt)).status, 401);

        // Held back: not even the right password is checked, in any spelling of the name.
        const Answer held = login(backend, guessed.username.toUpper(), guessed.password);
        QCOMPARE(outcome(held), QStringLiteral("429 AUTH_TOO_MANY_ATTEMPTS"));
        QVERIFY(isChinese(held.errorMessage()));
        QCOMPARE(held.message(), held.errorMessage());
        QCOMPARE(login(backend, other.username, other.password).status, 200); // another name is not

        // Twenty failures from one address, at whatever names, hold back the whole address.
        for (int attempt = 0; attempt < 15; ++attempt)
            QCOMPARE(login(backend, QStringLiteral("nobody%1").arg(attempt), QStringLiteral("guess1word")).status, 401);
        QCOMPARE(outcome(login(backend, other.username, other.password)), QStringLiteral("429 AUTH_TOO_MANY_ATTEMPTS"));
    }

    void theDataFolderIsForItsOwnerOnly()
    {
        BackendProcess backend;
        // As an earlier run may have left it.
        QVERIFY(QFile::setPermissions(backend.dataPath(),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup
                | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(backend.start());
        backend.registerAccount(); // the write-ahead log holds it

        constexpr auto othersMay = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
            | QFile::WriteOther | QFile::ExeOther;
        QCOMPARE(QFileInfo(backend.dataPath()).permissions() & othersMay, QFileDevice::Permissions());
        QDirIterator entries(
            backend.dataPath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        QStringList open;
        while (entries.hasNext()) {
            entries.next();
            if (entries.fileInfo().permissions() & othersMay)
                open << entries.fileInfo().fileName();
        }
        QVERIFY2(open.isEmpty(), qPrintable(open.join(u' ')));
        QVERIFY(QFileInfo::exists(QDir(backend.dataPath()).filePath(QStringLiteral("talvoro-backend.sqlite"))));
    }

    void theSeededLexiconsAreComplete()
    {
        const Answer list = m_backend.call("GET", QStringLiteral("/api/v1/public/lexicons"));
        QCOMPARE(list.status, 200);
        const QJsonArray lexicons = list.data().toArray();
        QVERIFY(lexicons.size() >= 3);
        QSet<QString> seen;
        for (const QJsonValue &summary : lexicons) {
            const Answer detail
                = m_backend.call("GET", QStringLiteral("/api/v1/public/lexicons/%1").arg(summary["id"].toInteger()));
            QCOMPARE(detail.status, 200);
            const QJsonArray words = detail.data()["words"].toArray();
            QVERIFY(words.size() >= 30);
            QCOMPARE(summary["wordCount"].toInteger(), words.size());
            for (const QJsonValue &word : words) {
                const QString display = word["wordDisplay"].toString();
                QVERIFY2(!seen.contains(display), qPrintable(display));
                seen.insert(display);
                QCOMPARE(word["syllables"].toString().remove(u'·'), display);
                QVERIFY(word["ipa"].toString().startsWith(u'/'));
                QVERIFY(!word["translationsZh"].toArray().isEmpty());
                QVERIFY(isChinese(word["translationsZh"][0].toString()));
                QVERIFY(isChinese(word["explanation"].toString()));
                QVERIFY(isChinese(word["usageScenario"].toString()));
                QVERIFY(!word.toObject().contains("playbackProfile"));
            }
        }
    }
};

TALVORO_TEST(BackendAccountsTest)
#include "tst_backend_accounts.moc"
