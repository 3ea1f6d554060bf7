#pragma once

// The core library has no Qt Quick, so its QObjects and enums that screens bind to
// are declared to QML here, in the UI library.

#include "Platform/NetworkConnectivity.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Playback/PlaybackViewModel.h"
#include "Session/AppSession.h"

#include <QObject>
#include <QtQml/qqml.h>

namespace talvoro::qmltypes {

struct AppSessionForeign {
    Q_GADGET
    QML_FOREIGN(talvoro::AppSession)
    QML_NAMED_ELEMENT(AppSession)
    QML_UNCREATABLE("The app builds its one session")
};

struct GlobalPlaybackSessionForeign {
    Q_GADGET
    QML_FOREIGN(talvoro::GlobalPlaybackSession)
    QML_NAMED_ELEMENT(GlobalPlaybackSession)
    QML_UNCREATABLE("The app builds its one playback session")
};

struct PlaybackViewModelForeign {
    Q_GADGET
    QML_FOREIGN(talvoro::PlaybackViewModel)
    QML_NAMED_ELEMENT(PlaybackViewModel)
    QML_UNCREATABLE("The playback session makes its view model")
};

struct ConnectivityMonitorForeign {
    Q_GADGET
    QML_FOREIGN(talvoro::ORVNetworkConnectivityMonitor)
    QML_NAMED_ELEMENT(ORVNetworkConnectivityMonitor)
    QML_UNCREATABLE("The app builds its one connectivity monitor")
};

} // namespace talvoro::qmltypes
