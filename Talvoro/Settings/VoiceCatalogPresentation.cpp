#include "Settings/VoiceCatalogPresentation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace talvoro {

namespace {

// printf's rounding of binary halves (to even) differs from QString::number's, and
// the rate rows promise printf's.
QString oneDecimal(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    return QString::fromLatin1(buffer);
}

} // namespace

VoiceCatalogPresentation::PreviewPresentation VoiceCatalogPresentation::previewPresentation(
    const TransientPlaybackStatus &status, const QString &voiceId)
{
    const bool forThisVoice = status.identifier && *status.identifier == voiceId;
    if (forThisVoice) {
        switch (status.kind) {
        case TransientPlaybackStatus::Kind::loading:
            return {QString(), QStringLiteral("正在加载"), Accent, true};
        case TransientPlaybackStatus::Kind::playing:
            return {QStringLiteral("waveform"), QStringLiteral("正在播放"), Success, false};
        case TransientPlaybackStatus::Kind::failed:
            return {QStringLiteral("exclamationmark.circle.fill"), QStringLiteral("播放失败，可重试"), Danger, false};
        case TransientPlaybackStatus::Kind::idle:
            break;
        }
    }
    return {QStringLiteral("speaker.wave.2.fill"), QStringLiteral("可试听"), Accent, false};
}

QString VoiceCatalogPresentation::rateText(double rate)
{
    return oneDecimal(rate) + QLatin1Char('x');
}

QString VoiceCatalogPresentation::rateAccessibilityValue(double rate)
{
    return oneDecimal(rate) + QStringLiteral(" 倍");
}

double VoiceCatalogPresentation::snappedRate(double rate)
{
    if (std::isnan(rate))
        return 1.0;
    const double tenths = std::round((std::clamp(rate, 0.5, 2.0) - 0.5) * 10.0);
    // Built from whole tenths so that stored and sent rates carry no float noise.
    return (5.0 + tenths) / 10.0;
}

QString VoiceCatalogPresentation::pillAccessibleName(const QString &title, int count)
{
    return title + QStringLiteral("，") + QString::number(count) + QStringLiteral(" 个音色");
}

QString VoiceCatalogPresentation::setGlobalText(bool isSaving, bool isPendingGlobal, bool isGlobal)
{
    if (isSaving)
        return {};
    if (isPendingGlobal)
        return QStringLiteral("待同步");
    if (isGlobal)
        return QStringLiteral("已设置");
    return QStringLiteral("设为全局");
}

QString VoiceCatalogPresentation::setGlobalAccessibleName(
    const QString &displayName, bool isPendingGlobal, bool isGlobal)
{
    if (isPendingGlobal)
        return displayName + QStringLiteral(" 已在本机设置，等待联网同步");
    if (isGlobal)
        return displayName + QStringLiteral(" 已设为全局");
    return QStringLiteral("将 ") + displayName + QStringLiteral(" 设为全局");
}

QString VoiceCatalogPresentation::previewAccessibleName(const QString &displayName)
{
    return QStringLiteral("试听 ") + displayName;
}

} // namespace talvoro
