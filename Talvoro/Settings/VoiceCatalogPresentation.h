#pragma once

#include "Models/Voice.h"
#include "Playback/PlaybackViewModel.h"

#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QtQmlIntegration>

namespace talvoro {

// What the voice catalogue's small controls show, derived from what they are given
// each time it changes; the controls keep no state of their own.
class VoiceCatalogPresentation : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // The colour roles these controls draw in.
    enum Tone { Accent, Success, Danger, Warning, Secondary };
    Q_ENUM(Tone)

    struct PreviewPresentation {
        QString symbol; // empty while loading: a spinner is shown
        QString statusText;
        Tone tone = Accent;
        bool isLoading = false;

        bool operator==(const PreviewPresentation &) const = default;
    };

    using QObject::QObject;

    // The preview control of `voiceId`: only a status that carries exactly this
    // identifier changes it from the idle look.
    static PreviewPresentation previewPresentation(const TransientPlaybackStatus &status, const QString &voiceId);

    // A speech rate as the rate rows write it: one decimal rounded as printf rounds
    // ("%.1f" of 1.25 is "1.2"), then "x".
    Q_INVOKABLE static QString rateText(double rate);
    // "%.1f 倍".
    Q_INVOKABLE static QString rateAccessibilityValue(double rate);
    // The slider's value on its grid: 0.5 plus whole tenths, within 0.5 ... 2.0.
    Q_INVOKABLE static double snappedRate(double rate);
    // "title，count 个音色".
    Q_INVOKABLE static QString pillAccessibleName(const QString &title, int count);
    // The set-as-global button's text; empty while saving (a spinner is shown).
    // Pending outranks global.
    Q_INVOKABLE static QString setGlobalText(bool isSaving, bool isPendingGlobal, bool isGlobal);
    Q_INVOKABLE static QString setGlobalAccessibleName(const QString &displayName, bool isPendingGlobal, bool isGlobal);
    Q_INVOKABLE static QString previewAccessibleName(const QString &displayName);
};

} // namespace talvoro
