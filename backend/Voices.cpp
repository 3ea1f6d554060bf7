#include "Voices.h"

#include <array>

namespace standin {
namespace {

struct Row {
    const char *id;
    char gender; // 'f' or 'm'
};

// Every voice of the app's catalog; the locale is the identifier's first five characters.
constexpr std::array catalog {Row {"en-US-JennyNeural", 'f'}, Row {"en-US-GuyNeural", 'm'},
    Row {"en-US-AriaNeural", 'f'}, Row {"en-US-AnaNeural", 'f'}, Row {"en-US-AndrewNeural", 'm'},
    Row {"en-US-AshleyNeural", 'f'}, Row {"en-US-BrianNeural", 'm'}, Row {"en-US-ChristopherNeural", 'm'},
    Row {"en-US-CoraNeural", 'f'}, Row {"en-US-ElizabethNeural", 'f'}, Row {"en-US-EmmaNeural", 'f'},
    Row {"en-US-EricNeural", 'm'}, Row {"en-US-JacobNeural", 'm'}, Row {"en-US-JaneNeural", 'f'},
    Row {"en-US-JasonNeural", 'm'}, Row {"en-US-MichelleNeural", 'f'}, Row {"en-US-MonicaNeural", 'f'},
    Row {"en-US-NancyNeural", 'f'}, Row {"en-US-RogerNeural", 'm'}, Row {"en-US-SaraNeural", 'f'},
    Row {"en-US-SteffanNeural", 'm'}, Row {"en-US-TonyNeural", 'm'}, Row {"en-US-DavisNeural", 'm'},
    Row {"en-US-AmberNeural", 'f'}, Row {"en-US-BrandonNeural", 'm'}, Row {"en-GB-SoniaNeural", 'f'},
    Row {"en-GB-RyanNeural", 'm'}, Row {"en-GB-LibbyNeural", 'f'}, Row {"en-GB-AbbiNeural", 'f'},
    Row {"en-GB-AlfieNeural", 'm'}, Row {"en-GB-BellaNeural", 'f'}, Row {"en-GB-ElliotNeural", 'm'},
    Row {"en-GB-EthanNeural", 'm'}, Row {"en-GB-HollieNeural", 'f'}, Row {"en-GB-MaisieNeural", 'f'},
    Row {"en-GB-NoahNeural", 'm'}, Row {"en-GB-OliverNeural", 'm'}, Row {"en-GB-OliviaNeural", 'f'},
    Row {"en-GB-ThomasNeural", 'm'}, Row {"en-GB-MiaNeural", 'f'}, Row {"en-AU-NatashaNeural", 'f'},
    Row {"en-AU-WilliamNeural", 'm'}, Row {"en-CA-ClaraNeural", 'f'}, Row {"en-CA-LiamNeural", 'm'},
    Row {"en-IN-NeerjaNeural", 'f'}, Row {"en-IN-PrabhatNeural", 'm'}, Row {"en-US-JennyMultilingualNeural", 'f'},
    Row {"en-US-RyanMultilingualNeural", 'm'}, Row {"zh-CN-XiaoxiaoMultilingualNeural", 'f'},
    Row {"zh-CN-XiaoxiaoNeural", 'f'}, Row {"zh-CN-YunxiNeural", 'm'}, Row {"zh-CN-YunjianNeural", 'm'},
    Row {"zh-CN-XiaoyiNeural", 'f'}, Row {"zh-CN-YunxiaNeural", 'm'}, Row {"zh-CN-YunyangNeural", 'm'},
    Row {"zh-CN-XiaochenNeural", 'f'}, Row {"zh-CN-XiaohanNeural", 'f'}, Row {"zh-CN-XiaomoNeural", 'f'},
    Row {"zh-CN-XiaoruiNeural", 'f'}, Row {"zh-CN-XiaoshuangNeural", 'f'}, Row {"zh-CN-YunzeNeural", 'm'},
    Row {"zh-CN-XiaozhenNeural", 'f'}, Row {"zh-CN-XiaomengNeural", 'f'}, Row {"zh-CN-XiaoyouNeural", 'f'},
    Row {"zh-CN-XiaoxuanNeural", 'f'}, Row {"zh-CN-YunyeNeural", 'm'}, Row {"zh-CN-YunhaoNeural", 'm'},
    Row {"zh-CN-YunfengNeural", 'm'}, Row {"zh-CN-XiaoyanNeural", 'f'}, Row {"zh-CN-XiaorouNeural", 'f'},
    Row {"zh-CN-XiaqiuNeural", 'f'}, Row {"zh-HK-HiuMaanNeural", 'f'}, Row {"zh-HK-WanLungNeural", 'm'},
    Row {"zh-TW-HsiaoChenNeural", 'f'}, Row {"zh-TW-YunJheNeural", 'm'}};

} // namespace

Language Voice::language() const
{
    return locale.startsWith(QLatin1String("en-")) ? Language::english : Language::chinese;
}

QString Voice::synthesiserVoice() const
{
    // Debian's espeak-ng reads Chinese characters as English under "cmn"; the pinyin
    // variant speaks them as Mandarin. It has no Australian, Canadian or Indian English.
    QString base;
    if (locale == QLatin1String("en-GB") || locale == QLatin1String("en-AU") || locale == QLatin1String("en-IN"))
        base = QStringLiteral("en-gb");
    else if (language() == Language::english)
        base = QStringLiteral("en-us");
    else if (locale == QLatin1String("zh-HK"))
        base = QStringLiteral("yue");
    else
        base = QStringLiteral("cmn-latn-pinyin");
    return base + (female ? QStringLiteral("+f3") : QStringLiteral("+m3"));
}

std::optional<Voice> findVoice(const QString &id)
{
    for (const Row &row : catalog) {
        if (id == QLatin1String(row.id))
            return Voice {id, id.left(5), row.gender == 'f'};
    }
    return std::nullopt;
}

} // namespace standin
