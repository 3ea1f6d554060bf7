#include "Screens/ScreenListModel.h"

namespace talvoro {

quint64 ScreenListModel::beginLoad()
{
    ++m_generation;
    setErrorMessage({});
    setLoading(true);
    return m_generation;
}

bool ScreenListModel::finishLoad(quint64 generation, const QString &errorMessage)
{
    if (!isCurrentLoad(generation))
        return false;
    setErrorMessage(errorMessage);
    setLoading(false);
    return true;
}

void ScreenListModel::allRowsChanged(const QList<int> &roles)
{
    const int count = rowCount();
    if (count > 0)
        Q_EMIT dataChanged(index(0), index(count - 1), roles);
}

void ScreenListModel::setLoading(bool loading)
{
    if (m_loading == loading)
        return;
    m_loading = loading;
    Q_EMIT loadingChanged();
}

void ScreenListModel::setErrorMessage(const QString &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

} // namespace talvoro
