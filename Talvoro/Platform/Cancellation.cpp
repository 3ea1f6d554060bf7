#include "Platform/Cancellation.h"

#include "Platform/AppError.h"

#include <vector>

namespace talvoro {

CancellationRegistration::CancellationRegistration(std::weak_ptr<detail::CancellationState> state, quint64 id)
    : m_state(std::move(state))
    , m_id(id)
{ }

CancellationRegistration::CancellationRegistration(CancellationRegistration &&other) noexcept
    : m_state(std::move(other.m_state))
    , m_id(std::exchange(other.m_id, 0))
{ }

CancellationRegistration &CancellationRegistration::operator=(CancellationRegistration &&other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

CancellationRegistration::~CancellationRegistration()
{
    reset();
}

void CancellationRegistration::reset()
{
    if (auto state = m_state.lock(); state && m_id != 0)
        state->callbacks.erase(m_id);
    m_state.reset();
    m_id = 0;
}

void CancellationToken::throwIfCancelled() const
{
    if (isCancelled())
        throw CancellationError();
}

CancellationRegistration CancellationToken::onCancel(std::function<void()> callback) const
{
    if (!m_state)
        return {};
    if (m_state->cancelled) {
        callback();
        return {};
    }
    const quint64 id = m_state->nextId++;
    m_state->callbacks.emplace(id, std::move(callback));
    return CancellationRegistration(m_state, id);
}

CancellationSource::CancellationSource()
    : m_state(std::make_shared<detail::CancellationState>())
{ }

void CancellationSource::cancel()
{
    if (m_state->cancelled)
        return;
    m_state->cancelled = true;
    // A callback may register or unregister others; take them all out first.
    auto callbacks = std::exchange(m_state->callbacks, {});
    for (auto &[id, callback] : callbacks)
        callback();
}

} // namespace talvoro
