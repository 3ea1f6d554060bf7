#pragma once

#include <QObject>

#include <functional>

namespace talvoro {

class CacheManagementModel;
class PlaybackSettingsModel;
class VoiceSelectionModel;

// The settings screens that more than one screen opens, each model made for the
// view (`owner`) that shows it.
struct SettingsScreens {
    std::function<CacheManagementModel *(QObject *owner)> cacheManagement;
    std::function<VoiceSelectionModel *(QObject *owner)> voiceSelection;
    std::function<PlaybackSettingsModel *(QObject *owner)> playbackSettings;
};

} // namespace talvoro
