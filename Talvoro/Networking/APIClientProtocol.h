#pragma once

#include "Models/LegacyModels.h"
#include "Models/Lexicon.h"
#include "Models/PlaybackPreference.h"
#include "Models/WordItem.h"
#include "Models/WordPlaybackProfile.h"
#include "Platform/Async.h"

#include <QList>
#include <QString>

namespace talvoro {

// The global playback preference as view models and the preference sync reach it.
class PlaybackPreferenceAPIClientProtocol {
public:
    virtual ~PlaybackPreferenceAPIClientProtocol() = default;
    virtual Task<PlaybackPreference> fetchPlaybackPreferences(QString accessToken) = 0;
    virtual Task<PlaybackPreference> updatePlaybackPreferences(PlaybackPreference preference, QString accessToken) = 0;
};

// What view models hold instead of a concrete client, so their tests can use fakes.
class APIClientProtocol : public PlaybackPreferenceAPIClientProtocol {
public:
    virtual Task<QList<PublicLexiconSummary>> fetchPublicLexicons() = 0;
    virtual Task<QList<UserLexicon>> fetchUserLexicons(QString accessToken) = 0;
    virtual Task<WordPlaybackProfile> fetchWordPlaybackProfile(qint64 wordId, QString accessToken) = 0;
    virtual Task<WordPlaybackProfile> updateWordPlaybackProfile(WordPlaybackProfile profile, QString accessToken) = 0;

    // The older endpoints.
    virtual Task<SystemConfiguration> fetchSystemConfiguration(QString accessToken) = 0;
    virtual Task<QList<RemoteWord>> fetchWords(QString accessToken) = 0;
    virtual Task<RemoteWord> createWord(WordItem item, QString accessToken) = 0;
    virtual Task<RemoteWord> updateWord(WordItem item, QString accessToken) = 0;
    virtual Task<> deleteWord(qint64 remoteID, QString accessToken) = 0;
    virtual Task<> updatePreferences(QString voiceID, qint64 cycleCount, QString accessToken) = 0;
};

} // namespace talvoro
