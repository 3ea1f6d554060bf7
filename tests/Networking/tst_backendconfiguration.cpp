#include "TestRegistry.h"

#include "Networking/BackendConfiguration.h"

#include <QTest>

using namespace talvoro;

namespace {
const QString apiKey = QStringLiteral("env-sha256:c6e4c37deae701e2aa9365fb7676fdfad4400ced35775f719ea80269db5c6de4");
const QString apiKey8443
    = QStringLiteral("env-sha256:d3d5197f4c8e51c5d82cb424ec40e7328141608e0e2f2fdbc84db9d8d2a29130");
const QString ipv6Key = QStringLiteral("env-sha256:c1b4672541bb8bd88c2e2f909a1ce5275cb1c7b1646c314de45dbba61e0f743c");
} // namespace

class BackendConfigurationTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void baseURLValidation_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("plain https") << QStringLiteral("https://api.example.test")
                                     << QStringLiteral("https://api.example.test");
        QTest::newRow("blanks and a line break trimmed")
            << QStringLiteral("  https://api.example.test/\n") << QStringLiteral("https://api.example.test/");
        QTest::newRow("path kept") << QStringLiteral("https://api.example.test/base")
                                   << QStringLiteral("https://api.example.test/base");
        QTest::newRow("upper-case scheme and host accepted")
            << QStringLiteral("HTTPS://API.EXAMPLE.TEST") << QStringLiteral("https://api.example.test");
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("blank") << QStringLiteral(" \n ") << QString();
        QTest::newRow("unexpanded build setting") << QStringLiteral("$(BACKEND_BASE_URL)") << QString();
        QTest::newRow("build setting inside") << QStringLiteral("https://$(HOST)/api") << QString();
        QTest::newRow("user") << QStringLiteral("https://me@api.example.test") << QString();
        QTest::newRow("user and password") << QStringLiteral("https://me:pw@api.example.test") << QString();
        QTest::newRow("query") << QStringLiteral("https://api.example.test/?x=1") << QString();
        QTest::newRow("fragment") << QStringLiteral("https://api.example.test/#top") << QString();
        QTest::newRow("plain http localhost") << QStringLiteral("http://localhost:8080") << QString();
        QTest::newRow("plain http address") << QStringLiteral("http://10.1.2.3") << QString();
        QTest::newRow("ftp") << QStringLiteral("ftp://api.example.test") << QString();
        QTest::newRow("no host") << QStringLiteral("https:///path") << QString();
        QTest::newRow("relative") << QStringLiteral("api.example.test") << QString();
        QTest::newRow("blank inside") << QStringLiteral("https://api.example.test/ a b") << QString();
    }
    void baseURLValidation()
    {
        QFETCH(QString, raw);
        QFETCH(QString, expected);
        const auto url = BackendConfiguration::validatedBaseURL(raw);
        QCOMPARE(url.has_value(), !expected.isEmpty());
        if (url)
            QCOMPARE(url->toString(), expected);
    }

    void missingOrNonStringConfigurationGivesNoURL_data()
    {
        QTest::addColumn<QByteArray>("configuration");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("string") << QByteArray("{\"BackendBaseURL\":\"https://api.example.test\"}") << true;
        QTest::newRow("missing") << QByteArray("{}") << false;
        QTest::newRow("number") << QByteArray("{\"BackendBaseURL\":42}") << false;
        QTest::newRow("http") << QByteArray("{\"BackendBaseURL\":\"http://127.0.0.1:8080\"}") << false;
        QTest::newRow("not json") << QByteArray("BackendBaseURL=https://x") << false;
    }
    void missingOrNonStringConfigurationGivesNoURL()
    {
        QFETCH(QByteArray, configuration);
        QFETCH(bool, accepted);
        QCOMPARE(BackendConfiguration::loadFromConfiguration(configuration).has_value(), accepted);
    }

    void theBuiltInBaseURLLoads()
    {
        // The build always writes a valid https default unless told otherwise.
        const auto url = BackendConfiguration::loadFromMainBundle();
        QVERIFY(url.has_value());
        QCOMPARE(url->scheme(), QStringLiteral("https"));
    }

    void environmentKeys_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("expected"); // empty: none
        QTest::newRow("path ignored, case folded") << QUrl(QStringLiteral("https://API.Example.test/base")) << apiKey;
        QTest::newRow("default https port dropped") << QUrl(QStringLiteral("HTTPS://api.example.test:443/")) << apiKey;
        QTest::newRow("other port kept") << QUrl(QStringLiteral("https://api.example.test:8443/base/")) << apiKey8443;
        QTest::newRow("ipv6 bracketed") << QUrl(QStringLiteral("https://[fd00::1]:8443")) << ipv6Key;
        QTest::newRow("ftp") << QUrl(QStringLiteral("ftp://api.example.test")) << QString();
        QTest::newRow("no host") << QUrl(QStringLiteral("file:///tmp/x")) << QString();
        QTest::newRow("user") << QUrl(QStringLiteral("https://me@api.example.test")) << QString();
        QTest::newRow("password") << QUrl(QStringLiteral("https://me:pw@api.example.test")) << QString();
    }
    void environmentKeys()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, expected);
        QCOMPARE(BackendConfiguration::environmentPartitionKey(url).value_or(QString()), expected);
    }

    void defaultPortsDependOnTheScheme_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("same");
        QTest::newRow("http 80 dropped") << QStringLiteral("http://localhost:80/") << QStringLiteral("http://localhost")
                                         << true;
        QTest::newRow("http 8080 kept") << QStringLiteral("http://localhost:8080") << QStringLiteral("http://localhost")
                                        << false;
        QTest::newRow("https 80 kept") << QStringLiteral("https://api.example.test:80")
                                       << QStringLiteral("https://api.example.test") << false;
        QTest::newRow("http 443 kept") << QStringLiteral("http://api.example.test:443")
                                       << QStringLiteral("http://api.example.test") << false;
        QTest::newRow("schemes differ") << QStringLiteral("http://api.example.test")
                                        << QStringLiteral("https://api.example.test") << false;
    }
    void defaultPortsDependOnTheScheme()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, same);
        const auto ka = BackendConfiguration::environmentPartitionKey(QUrl(a));
        const auto kb = BackendConfiguration::environmentPartitionKey(QUrl(b));
        QVERIFY(ka && kb);
        QCOMPARE(*ka == *kb, same);
    }

    void ownerKeys_data()
    {
        QTest::addColumn<qint64>("userId");
        QTest::addColumn<QString>("environmentKey");
        QTest::addColumn<QString>("expected");
        QTest::newRow("user 42") << qint64(42) << apiKey << apiKey + QStringLiteral("|user:42");
        QTest::newRow("user 0") << qint64(0) << apiKey << QString();
        QTest::newRow("user -1") << qint64(-1) << apiKey << QString();
        QTest::newRow("upper-case digits")
            << qint64(42) << apiKey.toUpper().replace(QStringLiteral("ENV-SHA256:"), QStringLiteral("env-sha256:"))
            << QString();
        QTest::newRow("63 digits") << qint64(42) << apiKey.chopped(1) << QString();
        QTest::newRow("65 digits") << qint64(42) << apiKey + QStringLiteral("0") << QString();
        QTest::newRow("wrong prefix") << qint64(42) << apiKey.mid(4) << QString();
        QTest::newRow("no key") << qint64(42) << QString() << QString();
    }
    void ownerKeys()
    {
        QFETCH(qint64, userId);
        QFETCH(QString, environmentKey);
        QFETCH(QString, expected);
        const std::optional<QString> key = environmentKey.isNull() ? std::nullopt : std::optional(environmentKey);
        QCOMPARE(BackendConfiguration::ownerKey(userId, key).value_or(QString()), expected);
    }
};

TALVORO_TEST(BackendConfigurationTest)
#include "tst_backendconfiguration.moc"
