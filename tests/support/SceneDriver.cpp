#include "SceneDriver.h"

#include "AwaitTask.h"

#include "Platform/SecureItemStore.h"
#include "Session/SessionCredentialStore.h"

#include <QDir>
#include <QElapsedTimer>
#include <QQmlExtensionPlugin>
#include <QTest>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

namespace scenetest {

namespace {

// The real Secret Service, with the items of scenes under a service of their own so
// that they never meet the items other tests of the run keep at the same time.
class SceneSecureItemStore final : public talvoro::SecureItemStore {
public:
    talvoro::Task<std::optional<QByteArray>> read(QString service, QString account) override
    {
        return m_store.read(scoped(service), account);
    }
    talvoro::Task<> write(QString service, QString account, QByteArray secret) override
    {
        return m_store.write(scoped(service), account, secret);
    }
    talvoro::Task<> remove(QString service, QString account) override
    {
        return m_store.remove(scoped(service), account);
    }

private:
    static QString scoped(const QString &service) { return service + QStringLiteral(".scene-test"); }
    talvoro::QtKeychainSecureItemStore m_store;
};

// A network path that reports only what the test says.
class ManualNetworkPath final : public talvoro::NetworkPathSource {
public:
    void start() override { }
};

void collect(QObject *object, const QString &name, QQuickItem *&found)
{
    if (found || !object)
        return;
    if (auto *item = qobject_cast<QQuickItem *>(object)) {
        if (item->objectName() == name && item->isVisible()) {
            found = item;
            return;
        }
        for (QQuickItem *child : item->childItems())
            collect(child, name, found);
    }
    for (QObject *child : object->children())
        collect(child, name, found);
}

} // namespace

QQuickItem *findVisibleItem(QObject *root, const QString &objectName)
{
    QQuickItem *found = nullptr;
    collect(root, objectName, found);
    return found;
}

SceneDriver::SceneDriver() = default;

SceneDriver::~SceneDriver()
{
    quit();
    m_backend.stop();
}

bool SceneDriver::available()
{
    return backendtest::BackendProcess::available() && !qEnvironmentVariableIsEmpty("TALVORO_TEST_SECRET_SERVICE");
}

bool SceneDriver::startBackend()
{
    if (!m_backend.start())
        return false;
    talvoro::NetworkTransfer::trustForProcess(m_backend.authority());
    return true;
}

void SceneDriver::stopBackend()
{
    m_backend.stop();
}

bool SceneDriver::launch()
{
    quit();
    talvoro::AppEnvironment environment;
    // The base URL is asked anew on each use, so a backend restarted on another
    // port is still found.
    environment.backendBaseURL = [this] { return std::optional(m_backend.baseUrl()); };
    environment.directories = talvoro::AppDirectories::under(m_data.path());
    environment.settingsFile = m_data.filePath(QStringLiteral("settings.ini"));
    environment.secureItems = [] { return std::make_shared<SceneSecureItemStore>(); };
    if (m_manualNetwork) {
        environment.networkPath = [this] {
            auto source = std::make_unique<ManualNetworkPath>();
            m_networkPath = source.get();
            return std::unique_ptr<talvoro::NetworkPathSource>(std::move(source));
        };
    }
    m_application = std::make_unique<talvoro::TalvoroApplication>(std::move(environment));

    m_engine = std::make_unique<QQmlApplicationEngine>();
    m_engine->setInitialProperties(m_application->rootProperties());
    m_engine->load(talvoro::TalvoroApplication::rootUrl());
    if (m_engine->rootObjects().isEmpty())
        return false;
    m_window = qobject_cast<QQuickWindow *>(m_engine->rootObjects().constFirst());
    if (!m_window || !QTest::qWaitForWindowExposed(m_window))
        return false;
    m_application->start();
    return true;
}

void SceneDriver::quit()
{
    m_window = nullptr;
    m_engine.reset();
    // The screens are gone, but requests they started still run inside the app's
    // services; those must not resume into services already destroyed (a real app
    // stops its event loop first). A few quiet turns let their last steps finish.
    if (m_application) {
        const talvoro::NetworkTransfer &transfer = m_application->container().transfer();
        int quietTurns = 0;
        waitFor([&] {
            quietTurns = transfer.transfersInFlight() == 0 ? quietTurns + 1 : 0;
            return quietTurns >= 3;
        });
    }
    m_application.reset();
}

bool SceneDriver::forgetStoredSession()
{
    talvoro::KeychainSessionCredentialStore store(std::make_shared<SceneSecureItemStore>());
    try {
        testsupport::awaitResult(store.remove());
        return true;
    } catch (const std::exception &error) {
        qWarning() << "The stored session could not be removed:" << error.what();
        return false;
    }
}

bool SceneDriver::signInToHome(const QString &username, const QString &password)
{
    return forgetStoredSession() && launch() && waitForItem(QStringLiteral("login.username"))
        && waitForNoItem(QStringLiteral("launch.handoff")) && type(QStringLiteral("login.username"), username)
        && type(QStringLiteral("login.password"), password) && press(QStringLiteral("login.submit"))
        && waitForItem(QStringLiteral("home.greeting"));
}

bool SceneDriver::signInToHome()
{
    const backendtest::Account account = m_backend.registerAccount();
    return signInToHome(account.username, account.password);
}

QQuickItem *SceneDriver::item(const QString &objectName) const
{
    return m_window ? findVisibleItem(m_window->contentItem(), objectName) : nullptr;
}

bool SceneDriver::waitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count())
            return false;
        QTest::qWait(20);
    }
    return true;
}

bool SceneDriver::waitForItem(const QString &objectName, std::chrono::milliseconds limit)
{
    return waitFor([&] { return item(objectName) != nullptr; }, limit);
}

bool SceneDriver::waitForNoItem(const QString &objectName, std::chrono::milliseconds limit)
{
    return waitFor([&] { return item(objectName) == nullptr; }, limit);
}

void SceneDriver::reportNetwork(bool reachable)
{
    if (m_networkPath)
        emit m_networkPath->pathUpdated(reachable);
}

bool SceneDriver::press(const QString &objectName)
{
    QQuickItem *target = item(objectName);
    if (!target)
        return false;
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    return true;
}

bool SceneDriver::type(const QString &objectName, const QString &text)
{
    if (!press(objectName))
        return false;
    QQuickItem *target = item(objectName);
    if (!waitFor([target] { return target->hasActiveFocus(); }, 2s))
        return false;
    typeText(text);
    return true;
}

bool SceneDriver::replaceText(const QString &objectName, const QString &text)
{
    if (!type(objectName, QString()))
        return false;
    QTest::keyClick(m_window, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(m_window, Qt::Key_Delete);
    typeText(text);
    return true;
}

void SceneDriver::typeText(const QString &text)
{
    // Qt 6.4's QTest has no keyClicks for a window: one key per character.
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, m_window, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void SceneDriver::pressKey(Qt::Key key)
{
    QTest::keyClick(m_window, key);
}

QString SceneDriver::screensFolder()
{
    const QString folder
        = QDir(qEnvironmentVariable("TALVORO_TEST_OUTPUT", QDir::tempPath())).filePath(QStringLiteral("screens"));
    QDir().mkpath(folder);
    return folder;
}

QString SceneDriver::savePng(const QString &name) const
{
    const QString path = QDir(screensFolder()).filePath(name + QStringLiteral(".png"));
    if (!m_window || !m_window->grabWindow().save(path))
        return {};
    return path;
}

} // namespace scenetest
