#include "Models/Voice.h"

#include <algorithm>

namespace talvoro {

QString rawValue(TTSVoiceLanguage language)
{
    return language == TTSVoiceLanguage::english ? QStringLiteral("english") : QStringLiteral("chinese");
}

QString localeCode(TTSVoiceCategory category)
{
    switch (category) {
    case TTSVoiceCategory::englishAustralia:
        return QStringLiteral("en-AU");
    case TTSVoiceCategory::englishCanada:
        return QStringLiteral("en-CA");
    case TTSVoiceCategory::englishUnitedKingdom:
        return QStringLiteral("en-GB");
    case TTSVoiceCategory::englishIndia:
        return QStringLiteral("en-IN");
    case TTSVoiceCategory::englishUnitedStates:
        return QStringLiteral("en-US");
    case TTSVoiceCategory::chineseMandarin:
        return QStringLiteral("zh-CN");
    case TTSVoiceCategory::chineseCantonese:
        return QStringLiteral("zh-HK");
    case TTSVoiceCategory::chineseTaiwan:
        break;
    }
    return QStringLiteral("zh-TW");
}

std::optional<TTSVoiceCategory> voiceCategoryFromLocaleCode(const QString &code)
{
    for (const TTSVoiceCategory category : allVoiceCategories) {
        if (localeCode(category) == code)
            return category;
    }
    return std::nullopt;
}

TTSVoiceLanguage language(TTSVoiceCategory category)
{
    return localeCode(category).startsWith(QLatin1String("en-")) ? TTSVoiceLanguage::english
                                                                 : TTSVoiceLanguage::chinese;
}

QString title(TTSVoiceCategory category)
{
    switch (category) {
    case TTSVoiceCategory::englishAustralia:
        return QStringLiteral("澳大利亚英语");
    case TTSVoiceCategory::englishCanada:
        return QStringLiteral("加拿大英语");
    case TTSVoiceCategory::englishUnitedKingdom:
        return QStringLiteral("英式英语");
    case TTSVoiceCategory::englishIndia:
        return QStringLiteral("印度英语");
    case TTSVoiceCategory::englishUnitedStates:
        return QStringLiteral("美式英语");
    case TTSVoiceCategory::chineseMandarin:
        return QStringLiteral("中文普通话");
    case TTSVoiceCategory::chineseCantonese:
        return QStringLiteral("粤语");
    case TTSVoiceCategory::chineseTaiwan:
        break;
    }
    return QStringLiteral("台湾国语");
}

QList<TTSVoiceCategory> categories(TTSVoiceLanguage lang)
{
    QList<TTSVoiceCategory> result;
    for (const TTSVoiceCategory category : allVoiceCategories) {
        if (language(category) != lang)
            continue;
        const auto &catalog = TTSVoice::catalog();
        if (std::any_of(catalog.begin(), catalog.end(), [&](const TTSVoice &v) { return v.category() == category; }))
            result.append(category);
    }
    return result;
}

const QList<TTSVoice> &TTSVoice::catalog()
{
    // Order matters: lists keep it and the first match wins.
    static const QList<TTSVoice> voices {
        {QStringLiteral("en-US-JennyNeural"), QStringLiteral("Jenny (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-GuyNeural"), QStringLiteral("Guy (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-AriaNeural"), QStringLiteral("Aria (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-AnaNeural"), QStringLiteral("Ana (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-AndrewNeural"), QStringLiteral("Andrew (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-AshleyNeural"), QStringLiteral("Ashley (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-BrianNeural"), QStringLiteral("Brian (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-ChristopherNeural"), QStringLiteral("Christopher (US English, Male)"),
            QStringLiteral("en-US")},
        {QStringLiteral("en-US-CoraNeural"), QStringLiteral("Cora (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-ElizabethNeural"), QStringLiteral("Elizabeth (US English, Female)"),
            QStringLiteral("en-US")},
        {QStringLiteral("en-US-EmmaNeural"), QStringLiteral("Emma (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-EricNeural"), QStringLiteral("Eric (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-JacobNeural"), QStringLiteral("Jacob (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-JaneNeural"), QStringLiteral("Jane (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-JasonNeural"), QStringLiteral("Jason (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-MichelleNeural"), QStringLiteral("Michelle (US English, Female)"),
            QStringLiteral("en-US")},
        {QStringLiteral("en-US-MonicaNeural"), QStringLiteral("Monica (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-NancyNeural"), QStringLiteral("Nancy (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-RogerNeural"), QStringLiteral("Roger (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-SaraNeural"), QStringLiteral("Sara (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-SteffanNeural"), QStringLiteral("Steffan (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-TonyNeural"), QStringLiteral("Tony (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-DavisNeural"), QStringLiteral("Davis (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-AmberNeural"), QStringLiteral("Amber (US English, Female)"), QStringLiteral("en-US")},
        {QStringLiteral("en-US-BrandonNeural"), QStringLiteral("Brandon (US English, Male)"), QStringLiteral("en-US")},
        {QStringLiteral("en-GB-SoniaNeural"), QStringLiteral("Sonia (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-RyanNeural"), QStringLiteral("Ryan (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-LibbyNeural"), QStringLiteral("Libby (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-AbbiNeural"), QStringLiteral("Abbi (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-AlfieNeural"), QStringLiteral("Alfie (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-BellaNeural"), QStringLiteral("Bella (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-ElliotNeural"), QStringLiteral("Elliot (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-EthanNeural"), QStringLiteral("Ethan (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-HollieNeural"), QStringLiteral("Hollie (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-MaisieNeural"), QStringLiteral("Maisie (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-NoahNeural"), QStringLiteral("Noah (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-OliverNeural"), QStringLiteral("Oliver (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-OliviaNeural"), QStringLiteral("Olivia (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-ThomasNeural"), QStringLiteral("Thomas (UK English, Male)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-GB-MiaNeural"), QStringLiteral("Mia (UK English, Female)"), QStringLiteral("en-GB")},
        {QStringLiteral("en-AU-NatashaNeural"), QStringLiteral("Natasha (AU English, Female)"),
            QStringLiteral("en-AU")},
        {QStringLiteral("en-AU-WilliamNeural"), QStringLiteral("William (AU English, Male)"), QStringLiteral("en-AU")},
        {QStringLiteral("en-CA-ClaraNeural"), QStringLiteral("Clara (CA English, Female)"), QStringLiteral("en-CA")},
        {QStringLiteral("en-CA-LiamNeural"), QStringLiteral("Liam (CA English, Male)"), QStringLiteral("en-CA")},
        {QStringLiteral("en-IN-NeerjaNeural"), QStringLiteral("Neerja (IN English, Female)"), QStringLiteral("en-IN")},
        {QStringLiteral("en-IN-PrabhatNeural"), QStringLiteral("Prabhat (IN English, Male)"), QStringLiteral("en-IN")},
        {QStringLiteral("en-US-JennyMultilingualNeural"), QStringLiteral("Jenny (多语种混读, 女声)"),
            QStringLiteral("en-US")},
        {QStringLiteral("en-US-RyanMultilingualNeural"), QStringLiteral("Ryan (多语种混读, 男声)"),
            QStringLiteral("en-US")},
        {QStringLiteral("zh-CN-XiaoxiaoMultilingualNeural"), QStringLiteral("晓晓 (多语种混读, 女声)"),
            QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoxiaoNeural"), QStringLiteral("晓晓 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunxiNeural"), QStringLiteral("云希 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunjianNeural"), QStringLiteral("云健 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoyiNeural"), QStringLiteral("晓伊 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunxiaNeural"), QStringLiteral("云夏 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunyangNeural"), QStringLiteral("云扬 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaochenNeural"), QStringLiteral("晓辰 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaohanNeural"), QStringLiteral("晓涵 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaomoNeural"), QStringLiteral("晓墨 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoruiNeural"), QStringLiteral("晓睿 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoshuangNeural"), QStringLiteral("晓双 (中文普通话, 女童声)"),
            QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunzeNeural"), QStringLiteral("云泽 (中文普通话, 老年男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaozhenNeural"), QStringLiteral("晓臻 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaomengNeural"), QStringLiteral("晓梦 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoyouNeural"), QStringLiteral("晓悠 (中文普通话, 女童声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoxuanNeural"), QStringLiteral("晓萱 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunyeNeural"), QStringLiteral("云野 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunhaoNeural"), QStringLiteral("云皓 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-YunfengNeural"), QStringLiteral("云枫 (中文普通话, 男声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaoyanNeural"), QStringLiteral("晓颜 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaorouNeural"), QStringLiteral("晓柔 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-CN-XiaqiuNeural"), QStringLiteral("晓秋 (中文普通话, 女声)"), QStringLiteral("zh-CN")},
        {QStringLiteral("zh-HK-HiuMaanNeural"), QStringLiteral("曉曼 (粤语, 女声)"), QStringLiteral("zh-HK")},
        {QStringLiteral("zh-HK-WanLungNeural"), QStringLiteral("雲龍 (粤语, 男声)"), QStringLiteral("zh-HK")},
        {QStringLiteral("zh-TW-HsiaoChenNeural"), QStringLiteral("曉臻 (台湾国语, 女声)"), QStringLiteral("zh-TW")},
        {QStringLiteral("zh-TW-YunJheNeural"), QStringLiteral("雲哲 (台湾国语, 男声)"), QStringLiteral("zh-TW")},
    };
    return voices;
}

std::optional<TTSVoice> TTSVoice::catalogVoice(const std::optional<QString> &id)
{
    if (!id)
        return std::nullopt;
    for (const TTSVoice &voice : catalog()) {
        if (voice.id == *id)
            return voice;
    }
    return std::nullopt;
}

const TTSVoice &TTSVoice::defaultEnglish()
{
    return catalog().at(0); // "en-US-JennyNeural"
}

const TTSVoice &TTSVoice::defaultChinese()
{
    return catalog().at(49); // "zh-CN-XiaoxiaoNeural", not the multilingual voice before it
}

QList<TTSVoice> TTSVoice::voices(TTSVoiceLanguage lang, std::optional<TTSVoiceCategory> category)
{
    QList<TTSVoice> result;
    if (category && language(*category) != lang)
        return result;
    for (const TTSVoice &voice : catalog()) {
        const auto voiceCategory = voice.category();
        if (!voiceCategory || language(*voiceCategory) != lang)
            continue;
        if (category && voiceCategory != category)
            continue;
        result.append(voice);
    }
    return result;
}

} // namespace talvoro
