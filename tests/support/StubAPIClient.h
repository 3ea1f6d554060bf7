#pragma once

#include "Networking/APIClientProtocol.h"

// A backend client for fakes to build on: each fake overrides the operations its
// test serves; every other one answers at once, with nothing or with what was sent.
namespace testsupport {

class StubAPIClient : public talvoro::APIClientProtocol {
public:
    talvoro::Task<talvoro::PlaybackPreference> fetchPlaybackPreferences(QString) override { co_return {}; }
    talvoro::Task<talvoro::PlaybackPreference> updatePlaybackPreferences(
        talvoro::PlaybackPreference preference, QString) override
    {
        co_return preference;
    }
    talvoro::Task<QList<talvoro::PublicLexiconSummary>> fetchPublicLexicons() override { co_return {}; }
    talvoro::Task<QList<talvoro::UserLexicon>> fetchUserLexicons(QString) override { co_return {}; }
    talvoro::Task<talvoro::WordPlaybackProfile> fetchWordPlaybackProfile(qint64, QString) override { co_return {}; }
    talvoro::Task<talvoro::WordPlaybackProfile> updateWordPlaybackProfile(
        talvoro::WordPlaybackProfile profile, QString) override
    {
        co_return profile;
    }
    talvoro::Task<talvoro::SystemConfiguration> fetchSystemConfiguration(QString) override { co_return {}; }
    talvoro::Task<QList<talvoro::RemoteWord>> fetchWords(QString) override { co_return {}; }
    talvoro::Task<talvoro::RemoteWord> createWord(talvoro::WordItem, QString) override { co_return {}; }
    talvoro::Task<talvoro::RemoteWord> updateWord(talvoro::WordItem, QString) override { co_return {}; }
    talvoro::Task<> deleteWord(qint64, QString) override { co_return; }
    talvoro::Task<> updatePreferences(QString, qint64, QString) override { co_return; }
};

} // namespace testsupport
