#pragma once

#include <QtGlobal>

#include <functional>
#include <map>
#include <memory>

namespace talvoro {

namespace detail {
struct CancellationState {
    bool cancelled = false;
    quint64 nextId = 1;
    std::map<quint64, std::function<void()>> callbacks;
};
} // namespace detail

// Unregisters its callback when destroyed, so a callback never outlives the
// awaiter or the reply it points at.
class CancellationRegistration {
public:
    CancellationRegistration() = default;
    CancellationRegistration(std::weak_ptr<detail::CancellationState> state, quint64 id);
    CancellationRegistration(CancellationRegistration &&other) noexcept;
    CancellationRegistration &operator=(CancellationRegistration &&other) noexcept;
    CancellationRegistration(const CancellationRegistration &) = delete;
    CancellationRegistration &operator=(const CancellationRegistration &) = delete;
    ~CancellationRegistration();

    void reset();

private:
    std::weak_ptr<detail::CancellationState> m_state;
    quint64 m_id = 0;
};

// Cooperative cancellation, observed by whoever holds a copy. A default token is
// never cancelled. Everything runs on the main thread; no locking.
class CancellationToken {
public:
    CancellationToken() = default;

    bool isCancelled() const { return m_state && m_state->cancelled; }
    void throwIfCancelled() const;

    // Runs `callback` once when the token is cancelled; at once if it already is.
    [[nodiscard]] CancellationRegistration onCancel(std::function<void()> callback) const;

private:
    friend class CancellationSource;
    explicit CancellationToken(std::shared_ptr<detail::CancellationState> state)
        : m_state(std::move(state))
    { }
    std::shared_ptr<detail::CancellationState> m_state;
};

class CancellationSource {
public:
    CancellationSource();

    CancellationToken token() const { return CancellationToken(m_state); }
    bool isCancelled() const { return m_state->cancelled; }
    void cancel();

private:
    std::shared_ptr<detail::CancellationState> m_state;
};

} // namespace talvoro
