#include "Session/SignedInUser.h"

#include "Networking/BackendConfiguration.h"
#include "Platform/Text.h"
#include "Session/AppSession.h"

namespace talvoro {

std::optional<SessionCredentials> signedInCredentials(const AppSession *session)
{
    if (!session)
        return std::nullopt;
    const std::optional<AuthenticatedSessionSnapshot> &snapshot = session->state().snapshot();
    if (!snapshot || snapshot->accessToken.isEmpty())
        return std::nullopt;
    return SessionCredentials {snapshot->accessToken, snapshot->user};
}

std::optional<QString> signedInAccessToken(const AppSession *session)
{
    const std::optional<SessionCredentials> credentials = signedInCredentials(session);
    if (!credentials)
        return std::nullopt;
    return credentials->accessToken;
}

std::optional<QString> signedInOwnerKey(const AppSession *session, const std::optional<QString> &environmentKey)
{
    if (!session)
        return std::nullopt;
    const std::optional<AuthenticatedSessionSnapshot> &snapshot = session->state().snapshot();
    if (!snapshot || snapshot->user.id < 1 || text::trimmed(snapshot->user.username).isEmpty())
        return std::nullopt;
    return BackendConfiguration::ownerKey(snapshot->user.id, environmentKey);
}

} // namespace talvoro
