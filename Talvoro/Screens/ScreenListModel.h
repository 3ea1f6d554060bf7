#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQmlIntegration>

namespace talvoro {

// A list a screen shows, with what every screen's list repeats: whether a load
// runs, the failure text of the last load, and a generation so that only the
// newest load applies its result. A load overtaken by a newer one touches nothing,
// not even `loading`.
class ScreenListModel : public QAbstractListModel {
    Q_OBJECT
    QML_ANONYMOUS
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    using QAbstractListModel::QAbstractListModel;

    bool loading() const { return m_loading; }
    QString errorMessage() const { return m_errorMessage; }
    int count() const { return rowCount(); }

Q_SIGNALS:
    void loadingChanged();
    void errorMessageChanged();
    void countChanged();

protected:
    // Starts a load that overtakes every earlier one: loading, no failure text.
    quint64 beginLoad();
    bool isCurrentLoad(quint64 generation) const { return generation == m_generation; }
    // Ends the load with a failure text (empty: it succeeded). Returns false, having
    // changed nothing, when a newer load overtook it.
    bool finishLoad(quint64 generation, const QString &errorMessage = {});

    // The rows a subclass keeps, replaced whole in one reset.
    template<typename Row>
    void replaceRows(QList<Row> &rows, QList<Row> replacement)
    {
        const bool countChanges = replacement.size() != rows.size();
        beginResetModel();
        rows = std::move(replacement);
        endResetModel();
        if (countChanges)
            Q_EMIT countChanged();
    }
    // The row of a valid index of this model, else null.
    template<typename Row>
    const Row *rowAt(const QList<Row> &rows, const QModelIndex &index) const
    {
        if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
            return nullptr;
        return &rows.at(index.row());
    }
    // Tells views that `roles` of every row changed.
    void allRowsChanged(const QList<int> &roles);

private:
    void setLoading(bool loading);
    void setErrorMessage(const QString &message);

    quint64 m_generation = 0;
    bool m_loading = false;
    QString m_errorMessage;
};

} // namespace talvoro
