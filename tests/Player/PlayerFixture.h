#pragma once

#include "../Playback/PlaybackFakes.h"
#include "ManualScheduler.h"

#include "Playback/GlobalPlaybackSession.h"
#include "Player/PlaybackPageModel.h"
#include "Player/PlaybackSurfaceHostModel.h"

namespace playertest {

using namespace talvoro;
using namespace testsupport;

inline const UserSummary lin {42, QStringLiteral("lin")};

inline QList<ORVWord> words(int count)
{
    QList<ORVWord> list;
    for (int i = 1; i <= count; ++i)
        list.append(makeWord(i, QStringLiteral("word%1").arg(i), QList<QString> {"WORD"}));
    return list;
}

// Answers from a script, so a test decides which index a shuffle draws.
class ScriptedRandom final : public RandomSource {
public:
    QList<quint64> answers;
    quint64 bounded(quint64 bound) override { return answers.isEmpty() ? 0 : answers.takeFirst() % bound; }
};

// The session, its view model on fakes, and the two player models over them.
struct PlayerFixture {
    FakePlaybackServices services;
    GlobalPlaybackSession session {
        [this] { return services.makeViewModel(); }, [](const QString &, const TTSVoice &) { return false; }};
    ManualScheduler scheduler;
    ScriptedRandom random;

    void play(int count, qsizetype start = 0, const QList<ORVWord> &list = {})
    {
        session.play(
            QStringLiteral("考研词汇"), list.isEmpty() ? words(count) : list, QStringLiteral("token"), lin, start);
    }
    PlaybackViewModel &viewModel() { return *session.playbackViewModel(); }
    QString contextId() const { return session.context()->id.toString(QUuid::WithoutBraces); }
    std::unique_ptr<PlaybackPageModel> page()
    {
        auto model = std::make_unique<PlaybackPageModel>(session, random);
        model->setExpectedContextId(contextId());
        return model;
    }
    std::unique_ptr<PlaybackSurfaceHostModel> host()
    {
        return std::make_unique<PlaybackSurfaceHostModel>(session, scheduler, random);
    }
    ~PlayerFixture()
    {
        session.reset();
        services.drained();
    }
};

} // namespace playertest
