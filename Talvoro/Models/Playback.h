#pragma once

#include "Platform/RandomSource.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

namespace talvoro {
Q_NAMESPACE

enum class PlaybackState { stopped, playing, paused, loading };
Q_ENUM_NS(PlaybackState)

// The order in which playback moves from word to word. Not the loop-mode text of
// a server playlist: the two vocabularies are separate.
enum class LoopMode { sequential, shuffle, loop };
Q_ENUM_NS(LoopMode)
inline constexpr std::array allLoopModes {LoopMode::sequential, LoopMode::shuffle, LoopMode::loop};

QString rawValue(LoopMode mode);
// Exact, case-sensitive match of "sequential", "shuffle" or "loop".
std::optional<LoopMode> loopModeFromRawValue(const QString &rawValue);
QString title(LoopMode mode);
QString symbolName(LoopMode mode);
// The player's loop button: sequential, shuffle, loop, and round again.
LoopMode cycled(LoopMode mode);

// The word to play after the word at `current` (of `count`) has ended, or none when
// playback stops there. Shuffle draws uniformly, drawing again while it hits the
// current word, so the same word never plays twice in a row unless it is alone.
std::optional<qsizetype> nextWordIndex(LoopMode mode, qsizetype current, qsizetype count, RandomSource &random);

inline size_t qHash(PlaybackState state, size_t seed = 0)
{
    return ::qHash(int(state), seed);
}
inline size_t qHash(LoopMode mode, size_t seed = 0)
{
    return ::qHash(int(mode), seed);
}

} // namespace talvoro
