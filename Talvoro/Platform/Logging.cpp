#include "Platform/Logging.h"

namespace talvoro::log {
Q_LOGGING_CATEGORY(startup, "com.brellun.Talvoro.Startup", QtInfoMsg)
Q_LOGGING_CATEGORY(appSession, "com.brellun.Talvoro.AppSession", QtInfoMsg)
Q_LOGGING_CATEGORY(mobileApi, "com.brellun.Talvoro.ORVMobileAPI", QtInfoMsg)
Q_LOGGING_CATEGORY(legacyMobileApi, "com.brellun.Talvoro.MobileAPI", QtInfoMsg)
Q_LOGGING_CATEGORY(apiCache, "com.brellun.Talvoro.APICache", QtInfoMsg)
Q_LOGGING_CATEGORY(audioPlayer, "com.brellun.Talvoro.AudioPlayer", QtInfoMsg)
Q_LOGGING_CATEGORY(playback, "com.brellun.Talvoro.Playback", QtInfoMsg)
Q_LOGGING_CATEGORY(localWordStore, "com.brellun.Talvoro.LocalWordStore", QtInfoMsg)
Q_LOGGING_CATEGORY(syncEngine, "com.brellun.Talvoro.QuenbrySyncEngine", QtInfoMsg)
Q_LOGGING_CATEGORY(preferenceSync, "com.brellun.Talvoro.PlaybackPreferenceSync", QtInfoMsg)
Q_LOGGING_CATEGORY(network, "com.brellun.Talvoro.Network", QtInfoMsg)
Q_LOGGING_CATEGORY(settings, "com.brellun.Talvoro.Settings", QtInfoMsg)
} // namespace talvoro::log
