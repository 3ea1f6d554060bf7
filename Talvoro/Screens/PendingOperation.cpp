#include "Screens/PendingOperation.h"

namespace talvoro {

void PendingOperation::then(QJSValue callback)
{
    if (!callback.isCallable())
        return;
    if (m_finished)
        callback.call();
    else
        m_callbacks.append(std::move(callback));
}

void PendingOperation::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    Q_EMIT finishedChanged();
    for (QJSValue &callback : std::exchange(m_callbacks, {}))
        callback.call();
    deleteLater();
}

} // namespace talvoro
