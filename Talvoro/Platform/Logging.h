#pragma once

#include <QLoggingCategory>

// One category per component, "com.brellun.Talvoro.<Category>". Messages are the
// Chinese texts users and support read; never a token or a password.
namespace talvoro::log {
Q_DECLARE_LOGGING_CATEGORY(startup)
Q_DECLARE_LOGGING_CATEGORY(appSession)
Q_DECLARE_LOGGING_CATEGORY(mobileApi) // ORVMobileAPI
Q_DECLARE_LOGGING_CATEGORY(legacyMobileApi) // MobileAPI
Q_DECLARE_LOGGING_CATEGORY(apiCache)
Q_DECLARE_LOGGING_CATEGORY(audioPlayer)
Q_DECLARE_LOGGING_CATEGORY(playback)
Q_DECLARE_LOGGING_CATEGORY(localWordStore)
Q_DECLARE_LOGGING_CATEGORY(syncEngine) // QuenbrySyncEngine
Q_DECLARE_LOGGING_CATEGORY(preferenceSync) // PlaybackPreferenceSync
Q_DECLARE_LOGGING_CATEGORY(network)
Q_DECLARE_LOGGING_CATEGORY(settings)
} // namespace talvoro::log
