#pragma once

#include "PlaylistSupport.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The sheet's own failures; the description is the text shown.
class PlaylistSelectionError final : public AppError {
public:
    enum class Kind { locallyDeletedDuringMutation, sessionExpired, sessionTemporarilyUnavailable, sessionChanged };
    explicit PlaylistSelectionError(Kind kind)
        : m_kind(kind)
    { }
    Kind kind() const { return m_kind; }
    QString description() const override;

private:
    Kind m_kind;
};

// The sheet that puts words chosen on a lexicon screen into a new playlist or
// appends them to existing ones, one playlist per tap. It shows the device's
// playlists at once and again after a sync. A write goes to the backend first,
// then its answer into the store under the owner key taken when the write
// started; `onAdded` is called once the store holds it, also when the sheet has
// closed meanwhile.
class SelectOrCreatePlaylistModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(talvoro::PlaylistRowsModel *playlists READ playlistRows CONSTANT)
    Q_PROPERTY(int selectedCount READ selectedCount CONSTANT)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(QString newPlaylistName READ newPlaylistName WRITE setNewPlaylistName NOTIFY newPlaylistNameChanged)
    Q_PROPERTY(bool canCreate READ canCreate NOTIFY submitStateChanged)
    Q_PROPERTY(bool isSubmitting READ isSubmitting NOTIFY submitStateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY messagesChanged)
    Q_PROPERTY(QString toastText READ toastTextValue NOTIFY messagesChanged)

public:
    using AddedCallback = std::function<void()>;

    SelectOrCreatePlaylistModel(
        QList<ORVWord> words, AddedCallback onAdded, PlaylistServices services, QObject *parent = nullptr);

    PlaylistRowsModel *playlistRows() { return &m_rows; }
    const QList<ORVPlaylist> &playlists() const { return m_rows.rows(); }
    const QList<ORVWord> &words() const { return m_words; }
    int selectedCount() const { return int(m_words.size()); }
    bool isLoading() const { return m_rows.showsProgress(); }
    QString newPlaylistName() const { return m_newPlaylistName; }
    void setNewPlaylistName(const QString &name);
    bool canCreate() const { return !m_isSubmitting && !trimmedSpacesAndTabs(m_newPlaylistName).isEmpty(); }
    bool isSubmitting() const { return m_isSubmitting; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    const std::optional<QString> &toastText() const { return m_toastText; }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    QString toastTextValue() const { return m_toastText.value_or(QString()); }
    const QSet<qint64> &addedPlaylistIds() const { return m_rows.marked(); }

    // Each time the sheet is shown.
    Task<> loadPlaylists();
    Q_INVOKABLE void reload() { loadPlaylists(); }
    // The writes; each does nothing while another one runs.
    Task<> createAndAdd();
    Task<> appendToPlaylist(ORVPlaylist playlist);
    Q_INVOKABLE void create() { createAndAdd(); }
    // A row's "添加": the playlist as the sheet holds it now.
    Q_INVOKABLE void append(qint64 playlistId);

    // The selection without the given word ids, each word once, in selection order.
    QList<ORVWord> newWords(const QSet<qint64> &excluding) const;
    static ORVPlaylistItem itemFor(const ORVWord &word, qint64 position);

Q_SIGNALS:
    void isLoadingChanged();
    void newPlaylistNameChanged();
    void submitStateChanged();
    void messagesChanged();

private:
    struct WriteContext;

    static Task<> runLoad(QPointer<SelectOrCreatePlaylistModel> self);
    static Task<> runCreate(QPointer<SelectOrCreatePlaylistModel> self);
    static Task<> runAppend(QPointer<SelectOrCreatePlaylistModel> self, ORVPlaylist playlist);
    // The guards every write passes first: signed in and a partition.
    std::optional<WriteContext> beginWrite();
    static Task<> bringDownServerCopy(
        QPointer<SelectOrCreatePlaylistModel> self, WriteContext context, qint64 playlistId);
    // Stores the server's answer, re-reads the list and checks that it holds it.
    static QList<ORVPlaylist> storeMutationResult(
        const PlaylistServices &services, const ORVPlaylist &playlist, const QString &ownerKey);
    void showMutationError(const QString &prefix, const std::exception_ptr &error);
    void finishWrite(qint64 playlistId, QList<ORVPlaylist> stored, const QString &toast);
    void setSubmitting(bool submitting);
    void setMessages(std::optional<QString> errorMessage, std::optional<QString> toastText);
    void markAdded(qint64 playlistId);

    const QList<ORVWord> m_words;
    AddedCallback m_onAdded;
    PlaylistServices m_services;
    PlaylistRowsModel m_rows;
    QString m_newPlaylistName;
    bool m_isSubmitting = false;
    std::optional<QString> m_errorMessage;
    std::optional<QString> m_toastText;
};

} // namespace talvoro
