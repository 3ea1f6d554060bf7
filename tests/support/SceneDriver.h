#pragma once

#include "BackendProcess.h"

#include "App/TalvoroApplication.h"
#include "DesignSystem/Theme.h"
#include "Platform/NetworkConnectivity.h"

#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

// Runs the whole app as a user meets it: the real talvoro-backend, the real root
// QML offscreen, and the app-wide objects built by the same application object as
// main() builds, pointed at the backend (trusting its authority), with a data
// folder of its own and the session kept in the real Secret Service. Tests find
// items by objectName, type, press, wait for what a user would wait for (always
// with a hard limit) and save what the window shows as PNGs.
namespace scenetest {

using namespace std::chrono_literals;

class SceneDriver {
public:
    SceneDriver();
    ~SceneDriver();

    // Whether this machine can run scenes: a backend build and a Secret Service
    // that exists for the test run alone.
    static bool available();

    // Starts (or restarts) the backend; its data survives a restart.
    bool startBackend();
    void stopBackend();
    backendtest::BackendProcess &backend() { return m_backend; }

    // Builds the app and shows its root window, as a launch does; the data folder
    // and the stored session survive quit() and the next launch().
    bool launch();
    void quit();
    // Removes the stored session, for a first launch.
    bool forgetStoredSession();
    // A first launch: forgets the stored session, launches, signs in on the login
    // screen and waits for home. Without an account, one newly registered signs in.
    bool signInToHome(const QString &username, const QString &password);
    bool signInToHome();

    // From the next launch on, the app's network monitor hears only reportNetwork()
    // (the platform's reachability never changes for a backend on loopback).
    void useManualNetwork() { m_manualNetwork = true; }
    void reportNetwork(bool reachable);

    talvoro::TalvoroApplication &application() { return *m_application; }
    QQuickWindow *window() const { return m_window; }

    // The visible item with this objectName, or null.
    QQuickItem *item(const QString &objectName) const;
    bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit = 15s);
    bool waitForItem(const QString &objectName, std::chrono::milliseconds limit = 15s);
    bool waitForNoItem(const QString &objectName, std::chrono::milliseconds limit = 15s);

    // Taps the item's centre.
    bool press(const QString &objectName);
    // Taps the field and types `text` after what it holds.
    bool type(const QString &objectName, const QString &text);
    // Taps the field and replaces what it holds with `text`.
    bool replaceText(const QString &objectName, const QString &text);
    void pressKey(Qt::Key key);
    // Types into whatever has focus.
    void typeText(const QString &text);

    // Saves the window as build/test-output/screens/<name>.png and returns the path.
    QString savePng(const QString &name) const;

    static QString screensFolder();

private:
    QTemporaryDir m_data;
    backendtest::BackendProcess m_backend;
    bool m_manualNetwork = false;
    QPointer<talvoro::NetworkPathSource> m_networkPath;
    std::unique_ptr<talvoro::TalvoroApplication> m_application;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
    QQuickWindow *m_window = nullptr;
};

// Every item under `root` (visual children and owned objects) with this name.
QQuickItem *findVisibleItem(QObject *root, const QString &objectName);

// The looks every screen is rendered in: light, dark, light at a large
// accessibility text size, and the largest text size there is, light and dark.
struct Look {
    const char *suffix;
    talvoro::Theme::ColorScheme scheme;
    talvoro::Theme::ContentSize size;
};
inline constexpr Look looks[] = {
    {"light", talvoro::Theme::Light, talvoro::Theme::Large},
    {"dark", talvoro::Theme::Dark, talvoro::Theme::Large},
    {"accessibility", talvoro::Theme::Light, talvoro::Theme::AccessibilityExtraLarge},
    {"largest", talvoro::Theme::Light, talvoro::Theme::AccessibilityExtraExtraExtraLarge},
    {"largest-dark", talvoro::Theme::Dark, talvoro::Theme::AccessibilityExtraExtraExtraLarge},
};

inline void apply(const Look &look)
{
    talvoro::Theme::shared()->setColorScheme(look.scheme);
    talvoro::Theme::shared()->setContentSize(look.size);
}

} // namespace scenetest
