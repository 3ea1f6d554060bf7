#pragma once

#include "Voices.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// Speaks a text with espeak-ng and encodes it as MP3 with LAME. Clips are kept in
// a folder by (voice, text), so a text is synthesised once per voice.
namespace standin {

class Speech : public QObject {
    Q_OBJECT
public:
    explicit Speech(QString directory, QObject *parent = nullptr);

    // The clip's key: 64 lower-case hexadecimal digits.
    static QString clipKey(const QString &voiceId, const QString &text);
    // Where the clip of a key lives, whether or not it exists yet.
    QString clipPath(const QString &key) const;

    // Calls done (later, on this thread) with the clip's path, or with nothing
    // when synthesis failed.
    using Done = std::function<void(std::optional<QString>)>;
    void synthesise(const Voice &voice, const QString &text, Done done);

private:
    QString m_directory;
};

} // namespace standin
