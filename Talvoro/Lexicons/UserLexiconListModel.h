#pragma once

#include "Lexicons/UserLexiconDetailModel.h"
#include "Lexicons/UserLexiconServices.h"
#include "Screens/ScreenListModel.h"

#include <QObject>
#include <QPointer>
#include <QtQmlIntegration>

#include <functional>
#include <optional>

namespace talvoro {

// The rows of the private lexicon list.
class UserLexiconRowsModel : public talvoro::ScreenListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Part of UserLexiconListModel")

public:
    enum Role { LexiconIdRole = Qt::UserRole + 1, NameRole, LexiconDescriptionRole, WordCountRole, RowPositionRole };
    Q_ENUM(Role)

    using ScreenListModel::ScreenListModel;
    const QList<UserLexicon> &rows() const { return m_rows; }
    void setRows(QList<UserLexicon> rows) { replaceRows(m_rows, std::move(rows)); }
    const UserLexicon *find(qint64 lexiconId) const;

    using ScreenListModel::beginLoad;
    using ScreenListModel::finishLoad;
    using ScreenListModel::isCurrentLoad;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    QList<UserLexicon> m_rows;
};

// The signed-in user's private lexicons, local first: the device's rows at once,
// then again after the sync engine refreshed them from the backend. Creating a
// lexicon goes to the backend, then the list loads again. The last failure of
// either flow is `errorMessage`, shown in the create sheet while it is open.
class UserLexiconListModel final : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Built by the app container")
    Q_PROPERTY(talvoro::UserLexiconRowsModel *lexicons READ lexiconRows CONSTANT)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY isLoadingChanged)
    Q_PROPERTY(bool showCreateSheet READ showCreateSheet WRITE setShowCreateSheet NOTIFY showCreateSheetChanged)
    Q_PROPERTY(QString newLexiconName READ newLexiconName WRITE setNewLexiconName NOTIFY createStateChanged)
    Q_PROPERTY(QString newLexiconDesc READ newLexiconDesc WRITE setNewLexiconDesc NOTIFY createStateChanged)
    Q_PROPERTY(bool canCreate READ canCreate NOTIFY createStateChanged)
    Q_PROPERTY(bool isCreating READ isCreating NOTIFY createStateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageText NOTIFY errorMessageChanged)
    Q_PROPERTY(bool opensDetail READ opensDetail CONSTANT)

public:
    // Builds the detail screen of one of the list's lexicons.
    using DetailFactory = std::function<UserLexiconDetailModel *(UserLexicon lexicon, QObject *owner)>;

    explicit UserLexiconListModel(
        UserLexiconServices services, DetailFactory makeDetail = {}, QObject *parent = nullptr);

    UserLexiconRowsModel *lexiconRows() { return &m_rows; }
    const QList<UserLexicon> &lexicons() const { return m_rows.rows(); }
    bool isLoading() const { return m_rows.loading(); }
    bool showCreateSheet() const { return m_showCreateSheet; }
    void setShowCreateSheet(bool shown);
    QString newLexiconName() const { return m_newLexiconName; }
    void setNewLexiconName(const QString &name);
    QString newLexiconDesc() const { return m_newLexiconDesc; }
    void setNewLexiconDesc(const QString &description);
    // A name that is not blank, and no creation running.
    bool canCreate() const;
    bool isCreating() const { return m_isCreating; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    QString errorMessageText() const { return m_errorMessage.value_or(QString()); }
    Q_INVOKABLE void dismissErrorMessage() { setErrorMessage(std::nullopt); }

    // A load overtakes every earlier one; their later results are dropped.
    Task<> loadLocalLexicons();
    Q_INVOKABLE void reload() { loadLocalLexicons(); }
    // Does nothing while a creation runs.
    Task<> createLexicon();
    Q_INVOKABLE void create() { createLexicon(); }

    const UserLexiconServices &services() const { return m_services; }

    // Without a detail factory (a list over fakes) rows open nothing.
    bool opensDetail() const { return bool(m_makeDetail); }
    // The detail of the lexicon with this id as the list shows it, owned by `owner`;
    // null without a factory.
    Q_INVOKABLE talvoro::UserLexiconDetailModel *makeUserLexiconDetailModel(qint64 lexiconId, QObject *owner);

Q_SIGNALS:
    void isLoadingChanged();
    void showCreateSheetChanged();
    void createStateChanged();
    void errorMessageChanged();

private:
    static Task<> runLoad(QPointer<UserLexiconListModel> self);
    static Task<> runCreate(QPointer<UserLexiconListModel> self);
    void setErrorMessage(std::optional<QString> message);
    void setCreating(bool creating);

    UserLexiconServices m_services;
    DetailFactory m_makeDetail;
    UserLexiconRowsModel m_rows;
    bool m_showCreateSheet = false;
    QString m_newLexiconName;
    QString m_newLexiconDesc;
    bool m_isCreating = false;
    std::optional<QString> m_errorMessage;
};

} // namespace talvoro
