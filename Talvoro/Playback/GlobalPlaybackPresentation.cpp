#include "Playback/GlobalPlaybackPresentation.h"

#include "Models/PlaybackUnit.h"
#include "Platform/Text.h"

namespace talvoro {

QString GlobalPlaybackContext::displayName(const QString &playlistName)
{
    const QString name = text::trimmed(playlistName);
    return name.isEmpty() ? QString::fromUtf16(defaultPlaylistName) : name;
}

std::optional<GlobalPlaybackPresentation> GlobalPlaybackPresentation::make(
    const std::optional<GlobalPlaybackContext> &context, PlaybackState state, std::optional<qsizetype> index,
    const std::optional<QString> &unitRawValue)
{
    if (!context || !index || *index < 0 || *index >= context->words.size())
        return std::nullopt;

    GlobalPlaybackPresentation presentation;
    switch (state) {
    case PlaybackState::stopped:
        return std::nullopt;
    case PlaybackState::loading:
        presentation.activity = GlobalPlaybackActivity::loading;
        presentation.statusText = QStringLiteral("正在准备");
        break;
    case PlaybackState::playing:
        presentation.activity = GlobalPlaybackActivity::playing;
        presentation.statusText = QStringLiteral("正在播放");
        break;
    case PlaybackState::paused:
        presentation.activity = GlobalPlaybackActivity::paused;
        presentation.statusText = QStringLiteral("已暂停");
        break;
    }
    if (const std::optional<ORVPlaybackUnit> unit
        = unitRawValue ? playbackUnitFromRawValue(*unitRawValue) : std::nullopt)
        presentation.statusText += QStringLiteral(" · ") + title(*unit);

    presentation.word = context->words.at(*index).wordDisplay;
    presentation.playlistName = context->playlistName;
    presentation.progressText = QStringLiteral("%1 / %2").arg(*index + 1).arg(context->words.size());
    return presentation;
}

QString rawValue(GlobalPlaybackActivity activity)
{
    switch (activity) {
    case GlobalPlaybackActivity::loading:
        return QStringLiteral("loading");
    case GlobalPlaybackActivity::playing:
        return QStringLiteral("playing");
    case GlobalPlaybackActivity::paused:
        break;
    }
    return QStringLiteral("paused");
}

} // namespace talvoro
