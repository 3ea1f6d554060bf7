#pragma once

#include "AddWordSheetModel.h"
#include "DesignSystem/ToastController.h"
#include "EditWordDetailsSheetModel.h"
#include "Models/PlaybackPreference.h"
#include "MoveWordToLexiconSheetModel.h"
#include "Playback/GlobalPlaybackSession.h"
#include "Playlists/SelectOrCreatePlaylistModel.h"
#include "Screens/ScreenListModel.h"
#include "Settings/EditWordPlaybackSheetModel.h"
#include "UserLexiconServices.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The rows the detail screen shows: the words, or the reorder draft while the
// order is being changed, each with its marks.
class UserLexiconWordRowsModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of UserLexiconDetailModel")

public:
    enum Role {
        WordIdRole = Qt::UserRole + 1,
        WordDisplayRole,
        IpaRole,
        TranslationsRole,
        RepeatCountRole,
        SelectedRole,
        FullyCachedRole,
        DeletingRole,
        RowPositionRole,
    };
    Q_ENUM(Role)

    struct Marks {
        QSet<qint64> selected;
        QSet<qint64> fullyCached;
        QSet<qint64> deleting;
        bool operator==(const Marks &) const = default;
    };

    using ScreenListModel::ScreenListModel;
    const QList<ORVWord> &rows() const { return m_rows; }
    void setRows(QList<ORVWord> rows);
    void setMarks(Marks marks);
    // Moves one row, as a drag does.
    void moveRow(int from, int to);

    // The count a row's badge shows: the word's own profile's when it sets one.
    static qint64 effectiveRepeatCount(const ORVWord &word);

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<ORVWord> m_rows;
    Marks m_marks;
};

// One private lexicon of the signed-in user: its words, shown from the device's
// snapshot while nothing else is there, then from the backend; the per-word
// actions (edit, playback, move, delete), a new order saved against the lexicon's
// version, and a selection handed to the playlist sheet. Results that come back
// through the word sheets are applied here, to the list, the snapshot and the
// playing list alike.
class UserLexiconDetailModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(qint64 lexiconId READ lexiconId CONSTANT)
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(QString lexiconDescription READ lexiconDescription CONSTANT)
    Q_PROPERTY(talvoro::UserLexiconWordRowsModel *rows READ rowsModel CONSTANT)
    Q_PROPERTY(talvoro::ToastController *toast READ toast CONSTANT)
    Q_PROPERTY(int wordCount READ wordCount NOTIFY wordsChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY loadStateChanged)
    Q_PROPERTY(QString loadErrorMessage READ loadErrorMessageText NOTIFY loadStateChanged)
    Q_PROPERTY(QString operationErrorMessage READ operationErrorMessageText NOTIFY operationErrorMessageChanged)
    Q_PROPERTY(bool isSelectionMode READ isSelectionMode NOTIFY selectionChanged)
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY selectionChanged)
    Q_PROPERTY(bool areAllWordsSelected READ areAllWordsSelected NOTIFY selectionChanged)
    Q_PROPERTY(bool hasLoadedLexiconVersion READ hasLoadedLexiconVersion NOTIFY reorderStateChanged)
    Q_PROPERTY(bool isReordering READ isReordering NOTIFY reorderStateChanged)
    Q_PROPERTY(bool isSavingOrder READ isSavingOrder NOTIFY reorderStateChanged)
    Q_PROPERTY(bool canSaveOrder READ canSaveOrder NOTIFY reorderStateChanged)
    Q_PROPERTY(bool showAddWordSheet READ showAddWordSheet WRITE setShowAddWordSheet NOTIFY presentationsChanged)
    Q_PROPERTY(bool showSelectPlaylistSheet READ showSelectPlaylistSheet WRITE setShowSelectPlaylistSheet NOTIFY
            presentationsChanged)
    Q_PROPERTY(bool isEditingDetails READ isEditingDetails NOTIFY presentationsChanged)
    // The per-word playback editor's presentation; the word is editingPlaybackWord().
    Q_PROPERTY(bool isEditingPlayback READ isEditingPlayback NOTIFY presentationsChanged)
    Q_PROPERTY(bool isMovingWord READ isMovingWord NOTIFY presentationsChanged)
    Q_PROPERTY(bool showDeleteConfirmAlert READ showDeleteConfirmAlert NOTIFY presentationsChanged)
    Q_PROPERTY(QString wordToDeleteDisplay READ wordToDeleteDisplay NOTIFY presentationsChanged)

public:
    enum class WordAction { EditDetails, EditPlayback, Move, Delete };
    Q_ENUM(WordAction)

    using PlaylistSheetFactory = std::function<SelectOrCreatePlaylistModel *(QList<ORVWord> words, QObject *owner)>;
    using PlaybackSheetFactory = std::function<EditWordPlaybackSheetModel *(
        ORVWord word, EditWordPlaybackSheetModel::SaveCallback onSave, QObject *owner)>;

    UserLexiconDetailModel(UserLexicon lexicon, UserLexiconServices services, GlobalPlaybackSession &playbackSession,
        PlaylistSheetFactory makePlaylistSheet, QObject *parent = nullptr);

    qint64 lexiconId() const { return m_lexicon.id; }
    QString name() const { return m_lexicon.name; }
    QString lexiconDescription() const { return m_lexicon.description.value_or(QString()); }
    UserLexiconWordRowsModel *rowsModel() { return &m_rows; }
    ToastController *toast() { return &m_toast; }

    const QList<ORVWord> &words() const { return m_words; }
    // The draft while reordering, else the words.
    const QList<ORVWord> &displayedWords() const { return m_isReordering ? m_reorderDraft : m_words; }
    int wordCount() const { return int(m_words.size()); }
    bool isLoading() const { return m_isLoading; }
    const std::optional<QString> &loadErrorMessage() const { return m_loadErrorMessage; }
    QString loadErrorMessageText() const { return m_loadErrorMessage.value_or(QString()); }
    const std::optional<QString> &operationErrorMessage() const { return m_operationErrorMessage; }
    QString operationErrorMessageText() const { return m_operationErrorMessage.value_or(QString()); }
    Q_INVOKABLE void dismissOperationError() { setOperationErrorMessage(std::nullopt); }

    const QSet<qint64> &selectedWordIds() const { return m_selectedWordIds; }
    const QSet<qint64> &fullyCachedWordIds() const { return m_fullyCachedWordIds; }
    const QSet<qint64> &deletingWordIds() const { return m_deletingWordIds; }
    bool isSelectionMode() const { return m_isSelectionMode; }
    int selectedCount() const { return int(m_selectedWordIds.size()); }
    bool areAllWordsSelected() const;
    // The selected words in list order.
    QList<ORVWord> selectedWords() const;

    const PlaybackPreference &playbackPreference() const { return m_playbackPreference; }
    bool hasLoadedPlaybackPreference() const { return m_hasLoadedPlaybackPreference; }
    qint64 lexiconVersion() const { return m_lexiconVersion; }
    bool hasLoadedLexiconVersion() const { return m_hasLoadedLexiconVersion; }
    bool isReordering() const { return m_isReordering; }
    bool isSavingOrder() const { return m_isSavingOrder; }
    // Not while saving, and only when the draft's order differs from the words'.
    bool canSaveOrder() const;

    bool showAddWordSheet() const { return m_showAddWordSheet; }
    void setShowAddWordSheet(bool shown);
    bool showSelectPlaylistSheet() const { return m_showSelectPlaylistSheet; }
    void setShowSelectPlaylistSheet(bool shown);
    bool isEditingDetails() const { return m_editingDetailsWord.has_value(); }
    bool isEditingPlayback() const { return m_editingPlaybackWord.has_value(); }
    bool isMovingWord() const { return m_movingWord.has_value(); }
    const std::optional<ORVWord> &editingDetailsWord() const { return m_editingDetailsWord; }
    const std::optional<ORVWord> &editingPlaybackWord() const { return m_editingPlaybackWord; }
    const std::optional<ORVWord> &movingWord() const { return m_movingWord; }
    const std::optional<ORVWord> &wordToDelete() const { return m_wordToDelete; }
    bool showDeleteConfirmAlert() const { return m_showDeleteConfirmAlert; }
    QString wordToDeleteDisplay() const { return m_wordToDelete ? m_wordToDelete->wordDisplay : QString(); }

    // The load: the snapshot while the list is empty, then the backend, then the
    // lexicon's version and the playback preference. A later load overtakes it.
    Task<> loadWords();
    Q_INVOKABLE void reload() { loadWords(); }
    Task<> fetchLexiconVersion();
    // Whether every unit the word would speak is already in the speech cache.
    bool isWordFullyCached(const ORVWord &word) const;
    void refreshFullyCachedWordIds();
    void showToast(const QString &message) { m_toast.show(message); }

    // A row's action menu. Ignored while reordering or while that word is deleted.
    Q_INVOKABLE void perform(talvoro::UserLexiconDetailModel::WordAction action, qint64 wordId);
    // The sheet of the action closed.
    Q_INVOKABLE void dismissWordSheet(talvoro::UserLexiconDetailModel::WordAction action);
    // The delete alert's "删除" and its closing; the word awaiting it stays until the next action.
    Q_INVOKABLE void confirmDelete();
    Q_INVOKABLE void dismissDeleteAlert();
    Task<> deleteWord(ORVWord word);

    // What the word sheets report back; each may arrive after its sheet closed.
    void onWordDetailsSaved(const ORVWord &word);
    void onPlaybackSaved(const ORVWord &word);
    void onWordMoved(qint64 wordId);
    void onWordAdded() { loadWords(); }

    Q_INVOKABLE void startReordering();
    Q_INVOKABLE void cancelReordering();
    Q_INVOKABLE void moveDraftRow(int from, int to);
    Task<> saveOrder();
    Q_INVOKABLE void startSaveOrder() { saveOrder(); }
    static bool isDataConflict(const std::exception_ptr &error);

    Q_INVOKABLE void enterSelectionMode();
    Q_INVOKABLE void exitSelectionMode();
    Q_INVOKABLE void toggleSelectAll();
    Q_INVOKABLE void toggleSelection(qint64 wordId);
    // The playlist sheet, over the words selected when it opens.
    Q_INVOKABLE talvoro::SelectOrCreatePlaylistModel *makeSelectOrCreatePlaylistModel(QObject *owner);
    // The word sheets, for the word whose action opened them. Each reports back
    // here, also after it closed, but only while this screen lives.
    Q_INVOKABLE talvoro::EditWordDetailsSheetModel *makeEditWordDetailsModel(QObject *owner);
    Q_INVOKABLE talvoro::MoveWordToLexiconSheetModel *makeMoveWordModel(QObject *owner);
    Q_INVOKABLE talvoro::AddWordSheetModel *makeAddWordModel(QObject *owner);
    void setPlaybackSheetFactory(PlaybackSheetFactory factory) { m_makePlaybackSheet = std::move(factory); }
    // The playback sheet of the word "设置播放方式" was chosen for. Its save reaches
    // this screen while it lives, also after the sheet was closed.
    Q_INVOKABLE talvoro::EditWordPlaybackSheetModel *makeEditWordPlaybackSheetModel(QObject *owner);

Q_SIGNALS:
    void wordsChanged();
    void loadStateChanged();
    void operationErrorMessageChanged();
    void selectionChanged();
    void reorderStateChanged();
    void presentationsChanged();

private:
    // Marks the fully cached words by the preference stored on the device, when the
    // backend's cannot be read.
    void applyStoredPlaybackPreference(const std::optional<QString> &ownerKey);
    static Task<> runLoad(QPointer<UserLexiconDetailModel> self);
    static Task<> runFetchLexiconVersion(QPointer<UserLexiconDetailModel> self);
    static Task<> runLoadPlaybackPreference(QPointer<UserLexiconDetailModel> self, QString accessToken);
    static Task<> runDelete(QPointer<UserLexiconDetailModel> self, ORVWord word);
    static Task<> runSaveOrder(QPointer<UserLexiconDetailModel> self);
    // Runs a snapshot edit nobody waits for; its failure is logged and changes
    // nothing shown.
    static Task<> keepSnapshot(Task<> update);

    const ORVWord *findWord(qint64 wordId) const;
    void applySavedWord(const ORVWord &word, const QString &toast);
    void removeWordLocally(qint64 wordId);
    void finishDeletion(qint64 wordId);
    void setWords(QList<ORVWord> words);
    void setReordering(bool reordering);
    void setSavingOrder(bool saving);
    void setLoading(bool loading);
    void setLoadErrorMessage(std::optional<QString> message);
    void setOperationErrorMessage(std::optional<QString> message);
    void setSelection(bool selectionMode, QSet<qint64> ids);
    void setFullyCached(QSet<qint64> ids);
    void setLexiconVersion(qint64 version, bool loaded);
    // Shows displayedWords and the marks in the rows.
    void syncRows();
    void syncMarks();

    const UserLexicon m_lexicon;
    UserLexiconServices m_services;
    GlobalPlaybackSession &m_playbackSession;
    PlaylistSheetFactory m_makePlaylistSheet;
    PlaybackSheetFactory m_makePlaybackSheet;
    UserLexiconWordRowsModel m_rows;
    ToastController m_toast;

    QList<ORVWord> m_words;
    QSet<qint64> m_selectedWordIds;
    bool m_isSelectionMode = false;
    bool m_isLoading = false;
    quint64 m_loadGeneration = 0;
    std::optional<QString> m_loadErrorMessage;
    std::optional<QString> m_operationErrorMessage;
    QSet<qint64> m_deletingWordIds;
    bool m_showAddWordSheet = false;
    bool m_showSelectPlaylistSheet = false;
    std::optional<ORVWord> m_editingDetailsWord;
    std::optional<ORVWord> m_editingPlaybackWord;
    std::optional<ORVWord> m_movingWord;
    std::optional<ORVWord> m_wordToDelete;
    bool m_showDeleteConfirmAlert = false;
    PlaybackPreference m_playbackPreference;
    bool m_hasLoadedPlaybackPreference = false;
    QSet<qint64> m_fullyCachedWordIds;
    qint64 m_lexiconVersion = 0;
    bool m_hasLoadedLexiconVersion = false;
    QList<ORVWord> m_reorderDraft;
    bool m_isReordering = false;
    bool m_isSavingOrder = false;
};

} // namespace talvoro
