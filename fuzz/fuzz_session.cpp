// The stored session, read from the secret store at launch, and the login answer
// it is made from: a session the app accepted must survive being saved and restored.
#include "FuzzSupport.h"

#include "Models/ApiResponse.h"
#include "Session/SessionCredentialStore.h"

#include <QTimeZone>

using namespace talvoro;

namespace {

void checkRestores(const StoredSession &session)
{
    fuzzsupport::checkRoundTrip(
        session, [](const QJsonValue &v) { return StoredSession::fromJson(v); },
        [](const StoredSession &s) { return s.toJson(); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::optional<QJsonValue> value = fuzzsupport::parseJson(data, size);
    if (!value)
        return 0;

    try {
        checkRestores(StoredSession::fromJson(*value));
    } catch (const json::DecodingError &) { }

    try {
        const auto answer = ORVApiResponse<AuthTokenResponse>::fromJson(
            *value, [](const QJsonValue &v, const QString &p) { return AuthTokenResponse::fromJson(v, p); });
        if (!answer.data)
            return 0;
        const QDateTime now(QDate(2026, 5, 1), QTime(8, 0), QTimeZone::utc());
        checkRestores(StoredSession::fromTokenResponse(*answer.data, now));
    } catch (const json::DecodingError &) {
    } catch (const SessionResponseValidationError &) { }
    return 0;
}
