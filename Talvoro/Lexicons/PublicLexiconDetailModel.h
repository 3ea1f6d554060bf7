#pragma once

#include "Models/Lexicon.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Platform/Async.h"
#include "Playlists/SelectOrCreatePlaylistModel.h"
#include "Screens/ScreenListModel.h"

#include <QPointer>
#include <QSet>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// One public lexicon with its words, each with a selection mark. After every
// successful load every word is selected. Needs no session: the lexicon is read
// without a token and may come from the response cache. Each row is a word.
class PublicLexiconDetailModel final : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(qint64 lexiconId READ lexiconId CONSTANT)
    Q_PROPERTY(bool hasDetail READ hasDetail NOTIFY detailChanged)
    Q_PROPERTY(QString name READ name NOTIFY detailChanged)
    Q_PROPERTY(QString lexiconDescription READ lexiconDescription NOTIFY detailChanged)
    Q_PROPERTY(int selectedCount READ selectedCount NOTIFY selectionChanged)
    Q_PROPERTY(bool allSelected READ allSelected NOTIFY selectionChanged)
    Q_PROPERTY(bool opensPlaylistSheet READ opensPlaylistSheet CONSTANT)

public:
    enum Role {
        WordIdRole = Qt::UserRole + 1,
        WordDisplayRole,
        IpaRole,
        TranslationsRole,
        SelectedRole,
        RowPositionRole,
    };
    Q_ENUM(Role)

    // Builds the pick-or-create playlist sheet for these words.
    using PlaylistSheetFactory = std::function<SelectOrCreatePlaylistModel *(QList<ORVWord> words, QObject *owner)>;

    PublicLexiconDetailModel(ORVMobileAPIClient &apiClient, qint64 lexiconId, PlaylistSheetFactory makePlaylistSheet = {},
        QObject *parent = nullptr);

    qint64 lexiconId() const { return m_lexiconId; }
    bool hasDetail() const { return m_detail.has_value(); }
    const std::optional<PublicLexiconDetail> &detail() const { return m_detail; }
    QString name() const;
    QString lexiconDescription() const;
    int selectedCount() const { return int(m_selectedWordIds.size()); }
    bool allSelected() const { return hasDetail() && selectedCount() == rowCount(); }
    const QSet<qint64> &selectedWordIds() const { return m_selectedWordIds; }
    // The selected words in list order.
    QList<ORVWord> selectedWords() const;

    // Loads the lexicon; a load started later wins over this one whatever the
    // order the answers arrive in.
    Task<> loadDetail();
    Q_INVOKABLE void reload() { loadDetail(); }
    Q_INVOKABLE void toggleAllSelection();
    Q_INVOKABLE void toggleSelection(qint64 wordId);

    // Without a sheet factory (a screen over fakes) the add button opens nothing.
    bool opensPlaylistSheet() const { return bool(m_makePlaylistSheet); }
    // The playlist sheet for the words selected now, in list order, owned by
    // `owner`; null without a factory.
    Q_INVOKABLE talvoro::SelectOrCreatePlaylistModel *makeSelectOrCreatePlaylistModel(QObject *owner);

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_words.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

Q_SIGNALS:
    void detailChanged();
    void selectionChanged();

private:
    static Task<> runLoad(QPointer<PublicLexiconDetailModel> self, quint64 generation);
    void setSelection(QSet<qint64> ids);

    ORVMobileAPIClient &m_apiClient;
    const qint64 m_lexiconId;
    PlaylistSheetFactory m_makePlaylistSheet;
    std::optional<PublicLexiconDetail> m_detail;
    QList<ORVWord> m_words;
    QSet<qint64> m_selectedWordIds;
};

} // namespace talvoro
