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

// QML finds enumerators only by a capitalised name, so playback state and loop mode
// reach it under these names (PlaybackState.Playing, LoopMode.Shuffle), with the
// values of the core's enumerations that the view model's properties carry.
class PlaybackStateForeign : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(PlaybackState)
    QML_UNCREATABLE("An enumeration")

public:
    enum Value {
        Stopped = int(talvoro::PlaybackState::stopped),
        Playing = int(talvoro::PlaybackState::playing),
        Paused = int(talvoro::PlaybackState::paused),
        Loading = int(talvoro::PlaybackState::loading),
    };
    Q_ENUM(Value)
};

class LoopModeForeign : public QObject {
    Q_OBJECT
    QML_NAMED_ELEMENT(LoopMode)
    QML_UNCREATABLE("An enumeration")

public:
    enum Value {
        Sequential = int(talvoro::LoopMode::sequential),
        Shuffle = int(talvoro::LoopMode::shuffle),
        Loop = int(talvoro::LoopMode::loop),
    };
    Q_ENUM(Value)
};

} // namespace talvoro::qmltypes
