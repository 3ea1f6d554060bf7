// Start-up: from a process start to the first frame of the home screen, for a user
// whose session is stored and whose home data is cached, against the first frame of
// an empty Qt Quick window. Every measured run is a new process: this executable
// started again in one of its child modes, offscreen. The home child builds the
// app-wide objects through the same application object as the app, over a data
// folder prepared once: a stand-in backend, an account signed in through the app's
// own session (kept in a file-backed item store, as a keychain would keep it) and
// one home load that fills the local store and the response cache.
#include "AwaitTask.h"
#include "BackendProcess.h"

#include "App/TalvoroApplication.h"
#include "Platform/SecureItemStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QQmlApplicationEngine>
#include <QQmlExtensionPlugin>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

using namespace talvoro;
using namespace std::chrono_literals;

namespace {

const char childFlag[] = "--startup-child";
// What a child prints once its first frame is swapped.
const QByteArray frameLine = "frame\n";

// Secrets in files under a folder, so that a session stored by one process is found
// by the next.
class FileSecureItemStore final : public SecureItemStore {
public:
    explicit FileSecureItemStore(QString folder)
        : m_folder(std::move(folder))
    { }
    Task<std::optional<QByteArray>> read(QString service, QString account) override
    {
        QFile file(path(service, account));
        if (!file.open(QIODevice::ReadOnly))
            co_return std::nullopt;
        co_return file.readAll();
    }
    Task<> write(QString service, QString account, QByteArray secret) override
    {
        QDir().mkpath(m_folder);
        QSaveFile file(path(service, account));
        if (!file.open(QIODevice::WriteOnly) || file.write(secret) != secret.size() || !file.commit())
            throw SecureItemError(7, file.errorString());
        co_return;
    }
    Task<> remove(QString service, QString account) override
    {
        QFile::remove(path(service, account));
        co_return;
    }

private:
    QString path(const QString &service, const QString &account) const
    {
        return QDir(m_folder).filePath(QString::fromLatin1((service + QLatin1Char('\n') + account).toUtf8().toHex()));
    }
    QString m_folder;
};

AppEnvironment environmentFor(const QString &data, const QUrl &baseUrl)
{
    AppEnvironment environment;
    environment.backendBaseURL = [baseUrl] { return std::optional(baseUrl); };
    environment.directories = AppDirectories::under(data);
    environment.settingsFile = QDir(data).filePath(QStringLiteral("settings.ini"));
    const QString secrets = QDir(data).filePath(QStringLiteral("secrets"));
    environment.secureItems = [secrets] { return std::make_shared<FileSecureItemStore>(secrets); };
    return environment;
}

bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void reportFrame()
{
    std::fwrite(frameLine.constData(), 1, frameLine.size(), stdout);
    std::fflush(stdout);
}

// An empty window: the floor every Qt Quick app starts from.
int runEmptyChild()
{
    QQuickWindow window;
    QObject::connect(
        &window, &QQuickWindow::frameSwapped, &window,
        [] {
            reportFrame();
            QCoreApplication::exit(0);
        },
        Qt::SingleShotConnection);
    window.resize(390, 844);
    window.show();
    return QCoreApplication::exec();
}

// The app as main() builds it. `account` (user and password) signs in first and
// waits for home's data, so that later starts find the session and the cache.
int runAppChild(const QString &data, const QUrl &baseUrl, const QString &authority, const QStringList &account)
{
    NetworkTransfer::trustForProcess(QSslCertificate::fromPath(authority));
    TalvoroApplication application(environmentFor(data, baseUrl));
    QQmlApplicationEngine engine;
    engine.setInitialProperties(application.rootProperties());
    engine.load(TalvoroApplication::rootUrl());
    if (engine.rootObjects().isEmpty())
        return 2;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
    auto *content = window->findChild<QObject *>(QStringLiteral("root.content"));
    auto homeShown = [content] {
        auto *item = content->property("item").value<QQuickItem *>();
        return item && item->objectName() == QLatin1String("home.view");
    };

    if (!account.isEmpty()) {
        application.start();
        AppSession &session = application.container().session();
        if (!waitFor([&] { return session.status() == AppSession::Status::loggedOut; }, 20s)) {
            std::fprintf(stderr, "The sign-in form did not appear\n");
            return 3;
        }
        try {
            testsupport::awaitResult(
                session.authenticate(AppSession::loginPath, account[0], account[1], QStringLiteral("登录")), 20s);
        } catch (const std::exception &error) {
            std::fprintf(stderr, "Sign-in failed: %s\n", error.what());
            return 3;
        }
        auto loaded = [&] {
            if (!homeShown())
                return false;
            auto *model = window->findChild<HomeViewModel *>();
            return model && model->loadPhase() == HomeViewModel::HomeLoadPhase::idle
                && model->publicLexiconModel()->count() > 0;
        };
        if (!waitFor(loaded, 20s)) {
            std::fprintf(stderr, "Home did not load\n");
            return 4;
        }
        return 0;
    }

    QObject::connect(window, &QQuickWindow::frameSwapped, window, [homeShown] {
        if (homeShown()) {
            reportFrame();
            QCoreApplication::exit(0);
        }
    });
    QTimer::singleShot(20s, window, [] { QCoreApplication::exit(5); });
    application.start();
    return QCoreApplication::exec();
}

int runChild(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(2);
    if (mode == QLatin1String("empty"))
        return runEmptyChild();
    return runAppChild(arguments.value(3), QUrl(arguments.value(4)), arguments.value(5), arguments.mid(6));
}

// The backend and the prepared data folder, made by the first benchmark that needs them.
struct Prepared {
    backendtest::BackendProcess backend;
    QTemporaryDir data;
    QString authority;
    bool ready = false;

    QStringList childArguments() const
    {
        return {QString::fromLatin1(childFlag), QStringLiteral("home"), data.path(), backend.baseUrl().toString(),
            authority};
    }
};

// Lives in main(), so that the backend stops while the application still exists.
Prepared *prepared = nullptr;

bool prepare(benchmark::State &state)
{
    if (prepared->ready)
        return true;
    if (!prepared->backend.start()) {
        state.SkipWithError("the stand-in backend did not start");
        return false;
    }
    prepared->authority = QDir(prepared->backend.dataPath()).filePath(QStringLiteral("tls/ca.crt"));
    const backendtest::Account account = prepared->backend.registerAccount();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
        prepared->childArguments() << account.username << account.password);
    if (!child.waitForFinished(60000) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "Preparing the data folder failed (exit %d)\n", child.exitCode());
        state.SkipWithError("the data folder could not be prepared");
        return false;
    }
    prepared->ready = true;
    return true;
}

// Starts this executable with `arguments` and times it until it reports its first frame.
void timeStarts(benchmark::State &state, const QStringList &arguments)
{
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), arguments);
        QByteArray output;
        while (!output.contains(frameLine) && child.waitForReadyRead(20000))
            output += child.readAllStandardOutput();
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        const bool finished = child.waitForFinished(20000);
        if (!output.contains(frameLine) || !finished || child.exitStatus() != QProcess::NormalExit
            || child.exitCode() != 0) {
            std::fprintf(stderr, "A start failed (exit %d)\n", child.exitCode());
            state.SkipWithError("the child showed no first frame or did not exit cleanly");
            return;
        }
        state.SetIterationTime(seconds);
    }
}

void startupEmptyWindow(benchmark::State &state)
{
    timeStarts(state, {QString::fromLatin1(childFlag), QStringLiteral("empty")});
}
BENCHMARK(startupEmptyWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

void startupHome(benchmark::State &state)
{
    if (prepare(state))
        timeStarts(state, prepared->childArguments());
}
BENCHMARK(startupHome)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], childFlag) == 0)
        return runChild(argc, argv);
    QCoreApplication app(argc, argv);
    Prepared lifetime;
    prepared = &lifetime;
    return benchsupport::runBenchmarks(argc, argv,
        {{"start-up to home / an empty window", "startupHome", "startupEmptyWindow"}});
}
