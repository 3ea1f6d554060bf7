#pragma once

#include "Models/Lexicon.h"
#include "Models/Word.h"
#include "Networking/ORVMobileAPIClient.h"
#include "Platform/Async.h"
#include "Screens/ScreenListModel.h"
#include "Session/AppSession.h"

#include <QObject>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The lexicons a word can move to, as rows: name, word count, row position and
// whether the row is the chosen target.
class MoveTargetRowsModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of the move sheet")

public:
    enum Role { LexiconIdRole = Qt::UserRole + 1, NameRole, WordCountRole, RowPositionRole, SelectedRole };
    Q_ENUM(Role)

    using ScreenListModel::ScreenListModel;
    const QList<UserLexicon> &rows() const { return m_rows; }
    void setRows(QList<UserLexicon> rows);
    void setSelectedId(std::optional<qint64> id);

    using ScreenListModel::beginLoad;
    using ScreenListModel::finishLoad;
    using ScreenListModel::isCurrentLoad;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<UserLexicon> m_rows;
    std::optional<qint64> m_selectedId;
};

// The sheet that moves one word from the open private lexicon to another of the
// user's private lexicons. It reads the lexicons from the server each time it is
// shown, offers every one but the current one and preselects the first. A move
// that succeeds reaches `onMoved` also when the sheet was closed meanwhile.
class MoveWordToLexiconSheetModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the lexicon screen")
    Q_PROPERTY(QString wordDisplay READ wordDisplay CONSTANT)
    Q_PROPERTY(talvoro::MoveTargetRowsModel *candidates READ candidateRows CONSTANT)
    Q_PROPERTY(Phase phase READ phase NOTIFY stateChanged)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY stateChanged)
    Q_PROPERTY(bool isSubmitting READ isSubmitting NOTIFY stateChanged)
    Q_PROPERTY(bool canConfirm READ canConfirm NOTIFY stateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY stateChanged)

public:
    // What fills the sheet, the first that applies.
    enum Phase { Loading, LoadError, Empty, Content };
    Q_ENUM(Phase)
    using MovedCallback = std::function<void(qint64 wordId, qint64 targetLexiconId)>;

    MoveWordToLexiconSheetModel(ORVMobileAPIClient &apiClient, QPointer<AppSession> session, ORVWord word,
        qint64 currentLexiconId, MovedCallback onMoved, QObject *parent = nullptr);

    const ORVWord &word() const { return m_word; }
    QString wordDisplay() const { return m_word.wordDisplay; }
    qint64 currentLexiconId() const { return m_currentLexiconId; }
    MoveTargetRowsModel *candidateRows() { return &m_candidates; }
    // Every lexicon of the last load, the current one included, in the server's order.
    const QList<UserLexicon> &lexicons() const { return m_lexicons; }
    const std::optional<qint64> &selectedLexiconId() const { return m_selectedLexiconId; }
    Phase phase() const;
    bool isLoading() const { return m_isLoading; }
    bool isSubmitting() const { return m_isSubmitting; }
    bool canConfirm() const { return m_selectedLexiconId && !m_isSubmitting; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }

    // Each time the sheet is shown, and "重试".
    Task<> loadLexicons();
    Q_INVOKABLE void reload() { loadLexicons(); }
    // A row's tap.
    Q_INVOKABLE void select(qint64 lexiconId);
    void setSelectedLexiconId(std::optional<qint64> lexiconId);
    // "确认移动". Does nothing while a move runs.
    Task<> moveWord();
    Q_INVOKABLE void confirm() { moveWord(); }
    // "取消": the sheet goes; a move already sent keeps running and still reports.
    Q_INVOKABLE void cancel();

Q_SIGNALS:
    void stateChanged();
    void dismissRequested();

private:
    static Task<> runLoad(QPointer<MoveWordToLexiconSheetModel> self, ORVMobileAPIClient *apiClient,
        QString accessToken, quint64 generation);
    static Task<> runMove(QPointer<MoveWordToLexiconSheetModel> self, ORVMobileAPIClient *apiClient,
        MovedCallback onMoved, qint64 wordId, qint64 sourceId, qint64 targetId, QString accessToken);
    void setLexicons(QList<UserLexicon> lexicons);
    void setState(bool isLoading, bool isSubmitting, std::optional<QString> errorMessage);

    ORVMobileAPIClient &m_apiClient;
    QPointer<AppSession> m_session;
    const ORVWord m_word;
    const qint64 m_currentLexiconId;
    MovedCallback m_onMoved;
    MoveTargetRowsModel m_candidates;
    QList<UserLexicon> m_lexicons;
    std::optional<qint64> m_selectedLexiconId;
    bool m_isLoading = false;
    bool m_isSubmitting = false;
    bool m_dismissed = false;
    std::optional<QString> m_errorMessage;
};

} // namespace talvoro
