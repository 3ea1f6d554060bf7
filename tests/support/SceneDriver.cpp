#include "SceneDriver.h"

#include "AwaitTask.h"

#include "Platform/SecureItemStore.h"
#include "Session/SessionCredentialStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QQmlExtensionPlugin>
#include <QTest>

Q_IMPORT_QML_PLUGIN(TalvoroPlugin)

namespace scenetest {

namespace {

// The real Secret Service, with the items of scenes under a service of their own so
// that they never meet the items other tests of the run keep at the same time. The
// service names this process too: scene tests of several executables run side by
// side on one keyring, and one clearing the stored session while another signs in
// would make the other's removal fail or restore a session it never made.
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
    static QString scoped(const QString &service)
    {
        return service + QStringLiteral(".scene-test.%1").arg(QCoreApplication::applicationPid());
    }
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
    auto *item = qobject_cast<QQuickItem *>(object);
    if (item) {
        if (item->objectName() == name && item->isVisible()) {
            found = item;
            return;
        }
        for (QQuickItem *child : item->childItems())
            collect(child, name, found);
    }
    // A child item is most often also a QObject child: visited once only, or
    // every level of a deep scene doubles the walk (and a wait for an item that
    // is not there yet starves the event loop).
    for (QObject *child : object->children()) {
        auto *childItem = qobject_cast<QQuickItem *>(child);
        if (!item || !childItem || childItem->parentItem() != item)
            collect(child, name, found);
    }
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
    // The app's container ends the work its screens left running before its
    // services go.
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

namespace {

// Whether a click at the item would reach what is shown there: no stack view around
// it is moving pages. A stack view takes every click for itself until its
// transition ends, and on a loaded machine a transition outlasts any fixed pause.
// (A disabled item is pressed as asked: what lies over it may take the click.)
bool isSettled(const QQuickItem *target)
{
    for (const QQuickItem *ancestor = target; ancestor; ancestor = ancestor->parentItem()) {
        if (ancestor->inherits("QQuickStackView") && ancestor->property("busy").toBool())
            return false;
    }
    return true;
}

} // namespace

bool SceneDriver::press(const QString &objectName)
{
    QQuickItem *target = nullptr;
    if (!waitFor([&] {
            target = item(objectName);
            return target && isSettled(target);
        })) {
        qWarning() << "Nothing to press:" << objectName << (target ? "is still moving" : "is not shown");
        return false;
    }
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
