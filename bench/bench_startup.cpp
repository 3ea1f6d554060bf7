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
#include <QQmlComponent>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QTimer>

#include "QtBenchmarkMain.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

using namespace talvoro;
using namespace std::chrono_literals;

namespace {

const char childFlag[] = "--startup-child";
// What a child prints once its first frame is swapped.
const QByteArray frameLine = "frame\n";

// With TALVORO_STARTUP_PHASES set, a child also reports when it reaches each step,
// on the monotonic clock the parent reads too, and the parent prints the median
// time between steps. A step reached more than once (a frame before home's) counts
// at its last time before the first frame that is reported.
bool phasesWanted()
{
    static const bool wanted = qEnvironmentVariableIsSet("TALVORO_STARTUP_PHASES");
    return wanted;
}

qint64 monotonicNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void markPhase(const char *name)
{
    if (!phasesWanted())
        return;
    std::fprintf(stdout, "phase %s %lld\n", name, static_cast<long long>(monotonicNanoseconds()));
    std::fflush(stdout);
}

// Secrets in files under a folder, so that a session stored by one process is found
// by the next.
class FileSecureItemStore final : public SecureItemStore {
public:
    explicit FileSecureItemStore(QString folder)
        : m_folder(std::move(folder))
    { }
    Task<std::optional<QByteArray>> read(QString service, QString account) override
    {
        markPhase("session-read");
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

// Marks a step when a signal known only by name (a QML item's) is emitted.
class PhaseMark : public QObject {
    Q_OBJECT
public:
    PhaseMark(const char *name, QObject *parent)
        : QObject(parent)
        , m_name(name)
    { }
public Q_SLOTS:
    void mark() { markPhase(m_name); }

private:
    const char *m_name;
};

// The steps of a frame, marked on every frame of `window`.
void markFrames(QQuickWindow *window)
{
    if (!phasesWanted())
        return;
    QObject::connect(window, &QQuickWindow::beforeSynchronizing, window, [] { markPhase("polished"); });
    QObject::connect(window, &QQuickWindow::afterSynchronizing, window, [] { markPhase("synchronized"); });
    QObject::connect(window, &QQuickWindow::afterRendering, window, [] { markPhase("rendered"); });
}

void reportFrame()
{
    markPhase("frame");
    std::fwrite(frameLine.constData(), 1, frameLine.size(), stdout);
    std::fflush(stdout);
}

// An empty window: the floor every Qt Quick app starts from.
int runEmptyChild()
{
    QQuickWindow window;
    markFrames(&window);
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

// Floors the app cannot go below, each measured alone: a window showing only what
// any home screen needs from Qt. `text` sets a line of Chinese and Latin text in
// the default font (the font configuration, the lookup and the CJK face);
// `controls` adds Qt Quick Controls in the app's style and Layouts, one of each
// kind home uses.
const char controlsFloor[] = R"(
import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
Window {
    width: 390; height: 844; visible: true
    ColumnLayout { AbstractButton {} Pane { Text { text: "公共词库 Public" } } }
})";
const char textFloor[] = R"(
import QtQuick
Window {
    width: 390; height: 844; visible: true
    Text { text: "公共词库 Public" }
})";

int runFloorChild(const char *qml)
{
    QQuickStyle::setStyle(QStringLiteral("Basic"));
    QQmlEngine engine;
    QQmlComponent component(&engine);
    component.setData(qml, QUrl(QStringLiteral("floor.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto *window = qobject_cast<QQuickWindow *>(root.get());
    if (!window) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 2;
    }
    markPhase("window");
    markFrames(window);
    QObject::connect(
        window, &QQuickWindow::frameSwapped, window,
        [] {
            reportFrame();
            QCoreApplication::exit(0);
        },
        Qt::SingleShotConnection);
    return QCoreApplication::exec();
}

// The app as main() builds it. `account` (user and password) signs in first and
// waits for home's data, so that later starts find the session and the cache.
int runAppChild(const QString &data, const QUrl &baseUrl, const QString &authority, const QStringList &account)
{
    // The stand-in's authority is read here, as main() reads a local backend's; like
    // the TLS backend and the system's certificates, it is parsed with the first request.
    if (!NetworkTransfer::trustForProcessFromFile(authority))
        return 2;
    markPhase("tls");
    TalvoroApplication application(environmentFor(data, baseUrl));
    markPhase("services");
    QQmlApplicationEngine engine;
    engine.setInitialProperties(application.rootProperties());
    engine.load(TalvoroApplication::rootUrl());
    if (engine.rootObjects().isEmpty())
        return 2;
    markPhase("window");
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
    markFrames(window);
    auto *content = window->findChild<QObject *>(QStringLiteral("root.content"));
    // The screen is built as the restore ends, in the same turn of the event loop.
    QObject::connect(content, SIGNAL(loaded()), new PhaseMark("screen", content), SLOT(mark()));
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
    markPhase("main");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    markPhase("application");
    const QStringList arguments = app.arguments();
    const QString mode = arguments.value(2);
    if (mode == QLatin1String("empty"))
        return runEmptyChild();
    if (mode == QLatin1String("controls"))
        return runFloorChild(controlsFloor);
    if (mode == QLatin1String("text"))
        return runFloorChild(textFloor);
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

// Per benchmark, the steps its children reported in the order reached, each with
// the milliseconds from the step before (from the start for the first), one per start.
using PhaseTimes = std::vector<std::pair<std::string, std::vector<double>>>;
std::map<std::string, PhaseTimes> phaseTimes;

void collectPhases(const std::string &benchmarkName, qint64 started, const QByteArray &output)
{
    std::map<std::string, qint64> last;
    for (const QByteArray &line : output.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() == 3 && fields[0] == "phase")
            last[fields[1].toStdString()] = fields[2].toLongLong();
    }
    std::vector<std::pair<qint64, std::string>> reached;
    for (const auto &[name, at] : last)
        reached.emplace_back(at, name);
    std::sort(reached.begin(), reached.end());
    PhaseTimes &times = phaseTimes[benchmarkName];
    qint64 previous = started;
    for (const auto &[at, name] : reached) {
        auto step = std::find_if(times.begin(), times.end(), [&](const auto &entry) { return entry.first == name; });
        if (step == times.end())
            step = times.insert(times.end(), {name, {}});
        step->second.push_back(double(at - previous) / 1e6);
        previous = at;
    }
}

void printPhases()
{
    for (auto &[benchmarkName, steps] : phaseTimes) {
        std::printf("%s, median ms to each step from the one before:\n", benchmarkName.c_str());
        for (auto &[name, times] : steps) {
            std::sort(times.begin(), times.end());
            std::printf("  %-13s %7.2f  (%zu starts)\n", name.c_str(), times[times.size() / 2], times.size());
        }
    }
}

// Starts this executable with `arguments` and times it until it reports its first frame.
void timeStarts(benchmark::State &state, const char *benchmarkName, const QStringList &arguments)
{
    for (auto _ : state) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer timer;
        const qint64 started = monotonicNanoseconds();
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
        if (phasesWanted())
            collectPhases(benchmarkName, started, output);
    }
}

void startupEmptyWindow(benchmark::State &state)
{
    timeStarts(state, "startupEmptyWindow", {QString::fromLatin1(childFlag), QStringLiteral("empty")});
}
BENCHMARK(startupEmptyWindow)->UseManualTime()->Unit(benchmark::kMillisecond);

void startupControlsFloor(benchmark::State &state)
{
    timeStarts(state, "startupControlsFloor", {QString::fromLatin1(childFlag), QStringLiteral("controls")});
}
BENCHMARK(startupControlsFloor)->UseManualTime()->Unit(benchmark::kMillisecond);

void startupTextFloor(benchmark::State &state)
{
    timeStarts(state, "startupTextFloor", {QString::fromLatin1(childFlag), QStringLiteral("text")});
}
BENCHMARK(startupTextFloor)->UseManualTime()->Unit(benchmark::kMillisecond);

void startupHome(benchmark::State &state)
{
    if (prepare(state))
        timeStarts(state, "startupHome", prepared->childArguments());
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
    const int status = benchsupport::runBenchmarks(argc, argv,
        {{"start-up to home / an empty window", "startupHome", "startupEmptyWindow"},
            {"text floor / an empty window", "startupTextFloor", "startupEmptyWindow"},
            {"text and controls floor / an empty window", "startupControlsFloor", "startupEmptyWindow"}});
    printPhases();
    return status;
}

#include "bench_startup.moc"
