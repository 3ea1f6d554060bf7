#include "WordPlaybackSheetTesting.h"
#include "TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace wordplaybacktesting;

namespace {

using U = ORVPlaybackUnit;

} // namespace

class EditWordPlaybackSheetTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aDropMovesOnlyAUnit_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("expected");
        const QStringList unchanged {"WORD", "SPELLING", "TRANSLATION_ZH", "EXPLANATION"};
        QTest::newRow("a unit") << QStringLiteral("SPELLING") << true
                                << QStringList {"SPELLING", "WORD", "TRANSLATION_ZH", "EXPLANATION"};
        QTest::newRow("its own row") << QStringLiteral("WORD") << true << unchanged;
        QTest::newRow("lower case") << QStringLiteral("spelling") << false << unchanged;
        QTest::newRow("other text") << QStringLiteral("hello") << false << unchanged;
        QTest::newRow("nothing") << QString() << false << unchanged;
    }
    void aDropMovesOnlyAUnit()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QFETCH(QStringList, expected);
        SheetFixture f;
        QAbstractItemModelTester tester(f.sheet->rows(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(f.sheet->handleDrop(text, QStringLiteral("WORD")), accepted);
        settle();
        QCOMPARE(f.editor().unitOrder(), expected);
        QCOMPARE(f.sheet->rows()->index(0).data(PlaybackUnitEditorRows::UnitRole).toString(), expected.first());
    }

    // Saving is possible only once the server's version is known, and not twice
    // at a time.
    void whenSavingIsPossible()
    {
        SheetFixture f;
        QVERIFY(!f.sheet->canSave());
        f.api.hold = true;
        f.sheet->start();
        QVERIFY(f.sheet->isFormDisabled());
        QVERIFY(!f.sheet->showsReloadSection());
        QVERIFY(!f.sheet->canSave());
        f.api.hold = false;
        for (const auto &held : f.api.profileReads + f.api.preferenceReads)
            held.gate->open();
        QTRY_VERIFY(f.sheet->canSave());
        QVERIFY(!f.sheet->isFormDisabled());
        f.api.hold = true;
        f.sheet->save();
        f.sheet->save();
        QVERIFY(f.sheet->isFormDisabled());
        QVERIFY(!f.sheet->canSave());
        QTRY_COMPARE(f.api.writes.size(), 1);
    }

    void aSuccessfulSaveReportsOnceThenCloses()
    {
        SheetFixture f;
        f.started();
        QSignalSpy dismissed(f.sheet.get(), &EditWordPlaybackSheetModel::dismissRequested);
        f.sheet->save();
        QTRY_COMPARE(dismissed.size(), 1);
        QCOMPARE(f.saved.size(), 1);
        QCOMPARE(f.saved[0].playbackProfile->version, 4);
    }

    // A stale version: the server's message, no callback, the sheet stays, and the
    // reload brings the latest version back.
    void aConflictShowsTheServersMessageAndOffersTheReload()
    {
        SheetFixture f;
        f.started();
        QSignalSpy dismissed(f.sheet.get(), &EditWordPlaybackSheetModel::dismissRequested);
        f.api.answerWrite = [](const WordPlaybackProfile &) -> WordPlaybackProfile {
            throw MobileAPIError::server(
                409, QStringLiteral("DATA_CONFLICT"), QStringLiteral("数据已在其他设备上更新，请刷新后重试"));
        };
        f.sheet->save();
        QTRY_VERIFY(f.editor().errorMessage());
        QVERIFY(f.editor().errorMessage()->startsWith(QStringLiteral("保存失败：")));
        QVERIFY(f.editor().errorMessage()->contains(QStringLiteral("数据已在其他设备上更新")));
        QVERIFY(f.saved.isEmpty());
        QCOMPARE(dismissed.size(), 0);
        QVERIFY(f.sheet->showsReloadSection());
        QVERIFY(!f.sheet->canSave());

        f.api.profileAnswer = [](qint64 wordId) { return profileOf(wordId, 9, 2); };
        f.sheet->reload();
        QTRY_VERIFY(f.sheet->canSave());
        QCOMPARE(f.editor().profile().version, 9);
    }

    // "取消" during a save: the sheet goes, the save goes on, and its word still
    // reaches the presenting screen.
    void aSaveAbandonedWithCancelStillReachesThePresenter()
    {
        SheetFixture f;
        f.started();
        f.editor().setRepeatCount(3);
        f.api.hold = true;
        f.sheet->save();
        QTRY_COMPARE(f.api.writes.size(), 1);
        QSignalSpy dismissed(f.sheet.get(), &EditWordPlaybackSheetModel::dismissRequested);
        f.sheet->cancel();
        QCOMPARE(dismissed.size(), 1);
        f.sheet.reset();
        f.api.writeGate->open();
        QTRY_COMPARE(f.saved.size(), 1);
        QCOMPARE(f.saved[0].repeatCount, 3);
    }

    // However the sheet closes, a preview it started stops with it.
    void closingTheSheetStopsItsPreview_data()
    {
        QTest::addColumn<bool>("byCancel");
        QTest::newRow("cancel") << true;
        QTest::newRow("closed by the presenter") << false;
    }
    void closingTheSheetStopsItsPreview()
    {
        QFETCH(bool, byCancel);
        SheetFixture f;
        f.started();
        f.sheet->preview(QStringLiteral("WORD"));
        QTRY_COMPARE(f.playback.player.plays.size(), 1);
        const qsizetype stops = f.playback.player.calls.count(QStringLiteral("deactivate"));
        if (byCancel)
            f.sheet->cancel();
        else
            f.sheet.reset();
        QVERIFY(f.playback.player.calls.count(QStringLiteral("deactivate")) > stops);
    }

    // The load follows the signed-in token: signing out loads again, without one.
    void aNewTokenLoadsAgain()
    {
        SheetFixture f;
        f.started();
        QCOMPARE(f.api.profileReads.size(), 1);
        f.sessions.session->logout();
        QTRY_COMPARE(f.editor().errorMessage(), QStringLiteral("登录状态已失效，请重新登录"));
        QCOMPARE(f.api.profileReads.size(), 1);
    }

    // Signing out while a load is out: the ended session's plan and preference
    // are dropped whenever they arrive, the form is usable again at once, and
    // nothing is sent with the ended session's token.
    void aSignOutEndsTheLoadOut_data()
    {
        QTest::addColumn<bool>("fromReload");
        QTest::addColumn<bool>("profileFirst");
        QTest::newRow("first load, plan answers first") << false << true;
        QTest::newRow("first load, preference answers first") << false << false;
        QTest::newRow("reload after a failure") << true << true;
    }
    void aSignOutEndsTheLoadOut()
    {
        QFETCH(bool, fromReload);
        QFETCH(bool, profileFirst);
        SheetFixture f;
        if (fromReload) {
            f.api.profileAnswer = [](qint64) -> WordPlaybackProfile { throw MobileAPIError::invalidResponse(); };
            f.sheet->start();
            QTRY_VERIFY(f.sheet->showsReloadSection());
            f.editor().setErrorMessage(std::nullopt);
            f.api.profileAnswer = [](qint64 wordId) { return profileOf(wordId, 3, 2); };
        }
        PlaybackPreference preference;
        preference.speechRateEn = 1.75;
        f.api.preferenceAnswer = [preference] { return preference; };
        f.api.hold = true;
        fromReload ? f.sheet->reload() : f.sheet->start();
        const qsizetype reads = f.api.profileReads.size();
        QVERIFY(f.editor().isLoading());

        f.sessions.session->logout();
        QCOMPARE(f.editor().errorMessage(), QStringLiteral("登录状态已失效，请重新登录"));
        QVERIFY(!f.sheet->isFormDisabled());
        QVERIFY(f.sheet->showsReloadSection());
        QCOMPARE(f.api.profileReads.size(), reads);

        (profileFirst ? f.api.profileReads : f.api.preferenceReads).constLast().gate->open();
        settle();
        (profileFirst ? f.api.preferenceReads : f.api.profileReads).constLast().gate->open();
        QTRY_COMPARE(f.api.running, 0);
        settle();
        QVERIFY(!f.editor().hasLoadedRemoteProfile());
        QCOMPARE(f.editor().repeatCount(), 1);
        QCOMPARE(f.editor().globalPreference().speechRateEn, 1.0);
        QCOMPARE(f.editor().errorMessage(), QStringLiteral("登录状态已失效，请重新登录"));
        QVERIFY(!f.sheet->canSave());
        f.sheet->save();
        settle();
        QVERIFY(f.api.writes.isEmpty());
    }

    // What a row shows for its own or inherited voice and rate.
    void rowTexts_data()
    {
        QTest::addColumn<U>("unit");
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("voiceTitle");
        QTest::addColumn<bool>("ownRate");
        QTest::addColumn<QString>("rateText");
        QTest::newRow("word inherits") << U::word << QString() << QStringLiteral("继承全局英文音色") << false
                                       << QStringLiteral("继承全局语速");
        QTest::newRow("spelling inherits, then its own rate")
            << U::spelling << QString() << QStringLiteral("继承全局中文音色") << true
            << QStringLiteral("自定义 1.25 倍");
        QTest::newRow("word's own voice") << U::word << QStringLiteral("en-GB-SoniaNeural") << QStringLiteral("Sonia")
                                          << true << QStringLiteral("自定义 1.00 倍");
    }
    void rowTexts()
    {
        QFETCH(U, unit);
        QFETCH(QString, voice);
        QFETCH(QString, voiceTitle);
        QFETCH(bool, ownRate);
        QFETCH(QString, rateText);
        SheetFixture f;
        const QString raw = rawValue(unit);
        f.sheet->setVoice(raw, voice);
        if (ownRate)
            f.sheet->useOwnRate(raw);
        const QModelIndex row = f.sheet->rows()->index(int(f.editor().unitOrder().indexOf(raw)));
        QVERIFY(row.data(PlaybackUnitEditorRows::VoiceTitleRole).toString().contains(voiceTitle));
        QCOMPARE(row.data(PlaybackUnitEditorRows::RateTextRole).toString(), rateText);
        QCOMPARE(row.data(PlaybackUnitEditorRows::HasOwnRateRole).toBool(), ownRate);
    }

    // A unit's voice menu offers only the categories of its language.
    void voiceMenusKeepToTheUnitsLanguage()
    {
        SheetFixture f;
        for (const QString &unit : {QStringLiteral("WORD"), QStringLiteral("SPELLING")}) {
            const bool english = unit == QLatin1String("WORD");
            QStringList headers;
            for (const QVariant &entry : f.sheet->voiceMenuEntries(unit)) {
                const QVariantMap map = entry.toMap();
                if (map[QStringLiteral("isHeader")].toBool())
                    headers.append(map[QStringLiteral("title")].toString());
                else
                    QCOMPARE(map[QStringLiteral("id")].toString().startsWith(QStringLiteral("en-")), english);
            }
            QCOMPARE(headers.contains(QStringLiteral("美式英语")), english);
            QCOMPARE(headers.contains(QStringLiteral("中文普通话")), !english);
        }
    }
};

TALVORO_TEST(EditWordPlaybackSheetTest)

#include "tst_editwordplaybacksheet.moc"
