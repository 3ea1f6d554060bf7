#pragma once

#include "WordPlaybackProfileEditorViewModel.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>

namespace talvoro {

// The editor's units as rows, in playing order, with what each row shows. The
// rows are rebuilt whenever the editor publishes a change; the row itself keeps
// nothing.
class PlaybackUnitEditorRows final : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of the per-word playback sheet")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        UnitRole = Qt::UserRole + 1,
        TitleRole,
        SymbolRole,
        UnitEnabledRole,
        VoiceIdRole,
        VoiceTitleRole,
        InheritedVoiceTitleRole,
        HasOwnRateRole,
        RateTextRole,
        OwnRateRole,
        OwnRateTextRole,
        IsCachedRole,
        IsPreviewingRole,
    };
    Q_ENUM(Role)

    explicit PlaybackUnitEditorRows(WordPlaybackProfileEditorViewModel &editor, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;
    int count() const { return rowCount(); }

    // What a row shows for its unit; also for a unit the list lacks.
    static QString inheritedVoiceTitle(ORVPlaybackUnit unit);
    static QString voiceTitle(const WordPlaybackUnit *entry, ORVPlaybackUnit unit);
    static QString rateText(const WordPlaybackUnit *entry);
    static QString ownRateText(double rate);

Q_SIGNALS:
    void countChanged();

private:
    void rebuild();

    WordPlaybackProfileEditorViewModel &m_editor;
    QList<ORVPlaybackUnit> m_order;
};

// The sheet in which one word's own playback plan is edited. It owns the editor,
// loads again whenever the signed-in token changes (ending the load of the token
// before, so nothing of an ended session is applied), turns drops into moves, and
// hands the saved word to the presenting screen. A save goes on when the sheet is
// closed meanwhile: its answer still reaches `onSave`, and nothing of the closed
// sheet is touched.
class EditWordPlaybackSheetModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(talvoro::WordPlaybackProfileEditorViewModel *editor READ editorObject CONSTANT)
    Q_PROPERTY(talvoro::PlaybackUnitEditorRows *rows READ rows CONSTANT)
    Q_PROPERTY(bool canSave READ canSave NOTIFY formStateChanged)
    Q_PROPERTY(bool isFormDisabled READ isFormDisabled NOTIFY formStateChanged)
    Q_PROPERTY(bool showsReloadSection READ showsReloadSection NOTIFY formStateChanged)

public:
    using SaveCallback = std::function<void(ORVWord)>;

    EditWordPlaybackSheetModel(ORVWord word, SaveCallback onSave, APIClientProtocol &apiClient,
        TTSServiceProtocol &ttsService, AppSession &session, GlobalPlaybackSession &playbackSession,
        QObject *parent = nullptr);
    // However the sheet goes away, a preview it started stops with it.
    ~EditWordPlaybackSheetModel() override;

    WordPlaybackProfileEditorViewModel &editor() { return m_editor; }
    PlaybackUnitEditorRows *rows() { return &m_rows; }
    bool canSave() const;
    bool isFormDisabled() const { return m_editor.isLoading() || m_editor.isSaving(); }
    bool showsReloadSection() const { return !m_editor.isLoading() && !m_editor.hasLoadedRemoteProfile(); }

    // The sheet is on screen: load now, and again whenever the token changes.
    Q_INVOKABLE void start();
    Q_INVOKABLE void reload();
    Q_INVOKABLE void save();
    // "取消": stops a preview, then asks the view to close; nothing is saved.
    Q_INVOKABLE void cancel();
    // The sheet left the screen, whatever closed it.
    Q_INVOKABLE void closed();
    // A drop of `text` on the row of `targetUnit`; false when refused. The move
    // itself follows on the next event loop turn.
    Q_INVOKABLE bool handleDrop(const QString &text, const QString &targetUnit);

    // A row's controls, by the row's unit raw value.
    Q_INVOKABLE void setUnitEnabled(const QString &unit, bool enabled);
    // An empty id: inherit the global voice.
    Q_INVOKABLE void setVoice(const QString &unit, const QString &voiceId);
    Q_INVOKABLE void inheritRate(const QString &unit);
    // Starts the own rate at the rate the unit is spoken at now.
    Q_INVOKABLE void useOwnRate(const QString &unit);
    Q_INVOKABLE void setOwnRate(const QString &unit, double rate);
    Q_INVOKABLE void preview(const QString &unit);
    // The voice menu after its inherit item: each category of the unit's language
    // that has voices, as a header followed by its voices in catalogue order;
    // [{isHeader, title, id}].
    Q_INVOKABLE QVariantList voiceMenuEntries(const QString &unit) const;

Q_SIGNALS:
    void formStateChanged();
    void dismissRequested();

private:
    static Task<> runSave(QPointer<EditWordPlaybackSheetModel> self,
        QPointer<WordPlaybackProfileEditorViewModel> editor, SaveCallback onSave);
    WordPlaybackProfileEditorViewModel *editorObject() { return &m_editor; }
    std::optional<QString> currentToken() const;
    void loadForCurrentToken();
    // Ends the load before it, then loads with `token`.
    void startLoad(std::optional<QString> token);

    SaveCallback m_onSave;
    QPointer<AppSession> m_session;
    QPointer<GlobalPlaybackSession> m_playbackSession;
    WordPlaybackProfileEditorViewModel m_editor;
    PlaybackUnitEditorRows m_rows;
    bool m_started = false;
    std::optional<std::optional<QString>> m_loadedToken;
    std::optional<CancellationSource> m_loadRun;
};

} // namespace talvoro
