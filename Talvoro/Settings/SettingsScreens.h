#pragma once

#include <QObject>

#include <functional>

namespace talvoro {

class CacheManagementModel;

// The settings screens that more than one screen opens, each model made for the
// view (`owner`) that shows it.
struct SettingsScreens {
    std::function<CacheManagementModel *(QObject *owner)> cacheManagement;
};

} // namespace talvoro
