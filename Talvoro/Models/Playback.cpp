#include "Models/Playback.h"

namespace talvoro {

QString rawValue(LoopMode mode)
{
    switch (mode) {
    case LoopMode::sequential:
        return QStringLiteral("sequential");
    case LoopMode::shuffle:
        return QStringLiteral("shuffle");
    case LoopMode::loop:
        break;
    }
    return QStringLiteral("loop");
}

std::optional<LoopMode> loopModeFromRawValue(const QString &value)
{
    for (const LoopMode mode : allLoopModes) {
        if (rawValue(mode) == value)
            return mode;
    }
    return std::nullopt;
}

QString title(LoopMode mode)
{
    switch (mode) {
    case LoopMode::sequential:
        return QStringLiteral("顺序播放");
    case LoopMode::shuffle:
        return QStringLiteral("随机播放");
    case LoopMode::loop:
        break;
    }
    return QStringLiteral("循环播放");
}

QString symbolName(LoopMode mode)
{
    switch (mode) {
    case LoopMode::sequential:
        return QStringLiteral("goforward");
    case LoopMode::shuffle:
        return QStringLiteral("shuffle");
    case LoopMode::loop:
        break;
    }
    return QStringLiteral("repeat");
}

LoopMode cycled(LoopMode mode)
{
    switch (mode) {
    case LoopMode::sequential:
        return LoopMode::shuffle;
    case LoopMode::shuffle:
        return LoopMode::loop;
    case LoopMode::loop:
        break;
    }
    return LoopMode::sequential;
}

std::optional<qsizetype> nextWordIndex(LoopMode mode, qsizetype current, qsizetype count, RandomSource &random)
{
    if (count < 1)
        return std::nullopt;
    const bool hasFollower = current + 1 >= 0 && current + 1 < count;
    switch (mode) {
    case LoopMode::sequential:
        return hasFollower ? std::optional(current + 1) : std::nullopt;
    case LoopMode::shuffle: {
        if (count < 2)
            return 0;
        qsizetype next = current;
        while (next == current)
            next = qsizetype(random.bounded(quint64(count)));
        return next;
    }
    case LoopMode::loop:
        break;
    }
    return hasFollower ? current + 1 : 0;
}

} // namespace talvoro
