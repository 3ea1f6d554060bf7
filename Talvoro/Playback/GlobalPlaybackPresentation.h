#pragma once

#include "Models/Playback.h"
#include "Models/Word.h"

#include <QUuid>

namespace talvoro {

// The list the app-wide playback plays: a new identifier for every play, kept
// while words of the list are edited.
struct GlobalPlaybackContext {
    QUuid id;
    QString playlistName; // trimmed; never empty
    QList<ORVWord> words;

    static constexpr auto defaultPlaylistName = u"单词播放";
    // The name as it is shown: trimmed, and "单词播放" when nothing is left.
    static QString displayName(const QString &playlistName);

    bool operator==(const GlobalPlaybackContext &) const = default;
};

enum class GlobalPlaybackActivity { loading, playing, paused };
// "loading", "playing" or "paused", as the player screens read it.
QString rawValue(GlobalPlaybackActivity activity);

// The lines the global playback bar shows. Derived, never edited.
struct GlobalPlaybackPresentation {
    QString word;
    QString playlistName;
    QString statusText; // "正在播放 · 逐字母拼写"
    GlobalPlaybackActivity activity = GlobalPlaybackActivity::loading;
    QString progressText; // "2 / 12"

    // Nothing to show without a context, while stopped, or for an index outside
    // the context's words. An unknown unit raw value shows no unit title.
    static std::optional<GlobalPlaybackPresentation> make(const std::optional<GlobalPlaybackContext> &context,
        PlaybackState state, std::optional<qsizetype> index, const std::optional<QString> &unitRawValue);

    bool operator==(const GlobalPlaybackPresentation &) const = default;
};

} // namespace talvoro
