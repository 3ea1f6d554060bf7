#pragma once

#include <QString>

#include <optional>

// The voices the app offers, by the identifier it sends. The server checks voice
// choices against them and picks a local synthesiser voice for each.
namespace standin {

enum class Language { english, chinese };

struct Voice {
    QString id;
    QString locale; // "en-US", "zh-CN", ...
    bool female;

    Language language() const;
    // The espeak-ng voice that speaks for this one.
    QString synthesiserVoice() const;
};

std::optional<Voice> findVoice(const QString &id);

} // namespace standin
