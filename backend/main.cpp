#include "Accounts.h"
#include "Api.h"
#include "Certificates.h"
#include "Database.h"
#include "Server.h"
#include "Speech.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSslConfiguration>

#include <cstdio>
#include <sys/stat.h>

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "talvoro-backend: %s\n", qPrintable(message));
    std::exit(2);
}

qint64 seconds(const QCommandLineParser &parser, const QCommandLineOption &option, qint64 fallback)
{
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const qint64 value = parser.value(option).toLongLong(&ok);
    if (!ok || value < 1)
        fail(QStringLiteral("--%1 takes a whole number of seconds, at least 1").arg(option.names().constFirst()));
    return value;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("talvoro-backend"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A local stand-in of Talvoro's backend on 127.0.0.1. Prints the base URL it listens on as its first line."));
    parser.addHelpOption();
    const QCommandLineOption data(QStringLiteral("data"),
        QStringLiteral("Folder for the database, the local certificate authority and speech clips (required)."),
        QStringLiteral("dir"));
    const QCommandLineOption port(QStringLiteral("port"),
        QStringLiteral("Port to listen on; 0 takes a free one (default 0)."), QStringLiteral("n"), QStringLiteral("0"));
    const QCommandLineOption http(
        QStringLiteral("http"), QStringLiteral("Serve plain HTTP instead of HTTPS (for tests)."));
    const QCommandLineOption ttsMode(QStringLiteral("tts-mode"),
        QStringLiteral("Answer speech requests with the audio itself, or with URLs to fetch it from (default audio)."),
        QStringLiteral("audio|urls"), QStringLiteral("audio"));
    const QCommandLineOption accessTtl(QStringLiteral("access-ttl"),
        QStringLiteral("Lifetime of access tokens in seconds (default 900)."), QStringLiteral("seconds"));
    const QCommandLineOption refreshTtl(QStringLiteral("refresh-ttl"),
        QStringLiteral("Lifetime of refresh tokens in seconds (default 2592000)."), QStringLiteral("seconds"));
    const QCommandLineOption disableUser(QStringLiteral("disable-user"),
        QStringLiteral("Disable the account of this user before serving (may be repeated)."), QStringLiteral("name"));
    const QCommandLineOption testFaults(QStringLiteral("test-faults"),
        QStringLiteral("Serve the fault-injection route /__admin/faults (for tests only: anyone who can reach the "
                       "port can then break every request)."));
    parser.addOptions({data, port, http, ttsMode, accessTtl, refreshTtl, disableUser, testFaults});
    parser.process(app);

    if (!parser.isSet(data))
        fail(QStringLiteral("--data DIR is required (see --help)"));
    bool portOk = false;
    const uint portNumber = parser.value(port).toUInt(&portOk);
    if (!portOk || portNumber > 65535)
        fail(QStringLiteral("--port takes a number from 0 to 65535"));
    const QString mode = parser.value(ttsMode);
    if (mode != QLatin1String("audio") && mode != QLatin1String("urls"))
        fail(QStringLiteral("--tts-mode is audio or urls"));
    const standin::TokenLifetimes defaults;
    const standin::TokenLifetimes lifetimes {
        seconds(parser, accessTtl, defaults.accessSeconds), seconds(parser, refreshTtl, defaults.refreshSeconds)};

    // The database holds the token signing secret: nothing in the data folder is
    // for other local users, including what earlier runs left readable.
    ::umask(077);
    const QDir dataDir(parser.value(data));
    constexpr auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    if (!QDir().mkpath(dataDir.path()) || !QFile::setPermissions(dataDir.path(), ownerOnly))
        fail(QStringLiteral("cannot create %1 for this user only").arg(dataDir.path()));

    try {
        standin::Database database;
        const QString databasePath = dataDir.filePath(QStringLiteral("talvoro-backend.sqlite"));
        const bool fresh = database.open(databasePath);
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
            if (QFile::exists(databasePath + suffix))
                QFile::setPermissions(databasePath + suffix, QFile::ReadOwner | QFile::WriteOwner);
        }
        standin::Accounts accounts(database, lifetimes);
        standin::Speech speech(dataDir.filePath(QStringLiteral("speech")));
        standin::Api api(database, accounts, speech,
            mode == QLatin1String("urls") ? standin::SpeechAnswer::urls : standin::SpeechAnswer::audio);
        if (fresh)
            api.seed();
        for (const QString &name : parser.values(disableUser)) {
            if (!accounts.setDisabled(name, true))
                fail(QStringLiteral("--disable-user: there is no user %1").arg(name));
        }

        standin::Server server(api, parser.isSet(testFaults));
        if (!parser.isSet(http)) {
            const standin::ServerIdentity identity
                = standin::ensureServerIdentity(dataDir.filePath(QStringLiteral("tls")));
            QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
            tls.setLocalCertificate(identity.certificate);
            tls.setPrivateKey(identity.key);
            server.useTls(tls);
        }
        const quint16 boundPort = server.listen(QHostAddress::LocalHost, quint16(portNumber));
        if (boundPort == 0)
            fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(portNumber));
        const QUrl baseUrl(QStringLiteral("%1://127.0.0.1:%2")
                               .arg(parser.isSet(http) ? QStringLiteral("http") : QStringLiteral("https"))
                               .arg(boundPort));
        api.setBaseUrl(baseUrl);
        std::printf("%s\n", qPrintable(baseUrl.toString()));
        std::fflush(stdout);
        return app.exec();
    } catch (const std::exception &error) {
        fail(QString::fromUtf8(error.what()));
    }
}
