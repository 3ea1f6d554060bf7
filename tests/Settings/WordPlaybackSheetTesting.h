#pragma once

#include "../Session/SessionTesting.h"
#include "WordPlaybackTesting.h"

#include "Settings/EditWordPlaybackSheetModel.h"

#include <QAbstractItemModelTester>

namespace wordplaybacktesting {

using namespace sessiontesting;

// The sheet over the real session (signed in as user 7 with token "A1"), the fake
// backend client and speech, and a real playback session over the fake player.
struct SheetFixture {
    SessionFixture sessions;
    FakePlaybackServices playback;
    FakeProfileClient api;
    GlobalPlaybackSession playbackSession {[this] { return playback.makeViewModel(); },
        [](const QString &, const TTSVoice &) { return false; }};
    QList<ORVWord> saved;
    std::unique_ptr<EditWordPlaybackSheetModel> sheet;
    std::unique_ptr<QAbstractItemModelTester> tester;

    explicit SheetFixture(ORVWord word = wordOf(42, QStringLiteral("test")))
    {
        sessions.signIn();
        api.profileAnswer = [](qint64 wordId) { return profileOf(wordId, 3, 2); };
        sheet = std::make_unique<EditWordPlaybackSheetModel>(std::move(word),
            [this](const ORVWord &word) { saved.append(word); }, api, playback.speech, *sessions.session,
            playbackSession);
        tester = std::make_unique<QAbstractItemModelTester>(
            sheet->rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    }
    ~SheetFixture()
    {
        tester.reset();
        sheet.reset();
        QTest::qWaitFor([this] {
            if (api.writeGate)
                api.writeGate->open();
            playback.speech.releaseAll();
            return api.running == 0 && playback.speech.running == 0;
        });
        playbackSession.reset();
    }
    WordPlaybackProfileEditorViewModel &editor() { return sheet->editor(); }
    void started()
    {
        sheet->start();
        QTRY_VERIFY(editor().hasLoadedRemoteProfile() && !editor().isLoading());
    }
};


} // namespace wordplaybacktesting
