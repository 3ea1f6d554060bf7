#pragma once

#include "Networking/APIClientProtocol.h"

#include <QCoroFuture>
#include <QFuture>
#include <QPromise>

#include <memory>

// The preference endpoints as a script: each call takes the next scripted reply of
// its kind and records what it was sent. A reply may be held until the test
// releases it, so that callers can be made to meet while a request is in flight.
class FakePreferenceClient final : public talvoro::PlaybackPreferenceAPIClientProtocol {
public:
    struct Gate {
        std::shared_ptr<QPromise<void>> promise = std::make_shared<QPromise<void>>();
        Gate() { promise->start(); }
        void release() const
        {
            if (!promise->future().isFinished())
                promise->finish();
        }
    };
    struct Reply {
        std::optional<talvoro::PlaybackPreference> value;
        std::exception_ptr error;
        std::optional<Gate> gate;
    };
    struct Call {
        QString token;
        std::optional<talvoro::PlaybackPreference> sent; // none for a read
    };

    static Reply answer(talvoro::PlaybackPreference value, std::optional<Gate> gate = std::nullopt)
    {
        return {std::move(value), nullptr, std::move(gate)};
    }
    template<typename E>
    static Reply failure(E error, std::optional<Gate> gate = std::nullopt)
    {
        return {std::nullopt, std::make_exception_ptr(std::move(error)), std::move(gate)};
    }

    QList<Reply> reads;
    QList<Reply> writes;
    QList<Call> readCalls;
    QList<Call> writeCalls;

    talvoro::Task<talvoro::PlaybackPreference> fetchPlaybackPreferences(QString accessToken) override
    {
        readCalls.append({accessToken, std::nullopt});
        return play(next(reads));
    }
    talvoro::Task<talvoro::PlaybackPreference> updatePlaybackPreferences(
        talvoro::PlaybackPreference preference, QString accessToken) override
    {
        writeCalls.append({accessToken, preference});
        return play(next(writes));
    }

private:
    static Reply next(QList<Reply> &replies)
    {
        if (replies.isEmpty())
            return failure(std::runtime_error("no reply scripted"));
        return replies.takeFirst();
    }
    static talvoro::Task<talvoro::PlaybackPreference> play(Reply reply)
    {
        if (reply.gate) {
            QFuture<void> released = reply.gate->promise->future();
            co_await released;
        }
        if (reply.error)
            std::rethrow_exception(reply.error);
        co_return *reply.value;
    }
};
