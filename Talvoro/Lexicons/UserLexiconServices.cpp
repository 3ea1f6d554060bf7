#include "UserLexiconServices.h"

#include "Networking/BackendConfiguration.h"
#include "Platform/Text.h"

namespace talvoro {

std::optional<QString> UserLexiconServices::accessToken() const
{
    if (!session)
        return std::nullopt;
    const std::optional<AuthenticatedSessionSnapshot> &snapshot = session->state().snapshot();
    if (!snapshot || snapshot->accessToken.isEmpty())
        return std::nullopt;
    return snapshot->accessToken;
}

std::optional<QString> UserLexiconServices::ownerKey() const
{
    if (!session)
        return std::nullopt;
    const std::optional<AuthenticatedSessionSnapshot> &snapshot = session->state().snapshot();
    if (!snapshot || snapshot->user.id < 1 || text::trimmed(snapshot->user.username).isEmpty())
        return std::nullopt;
    return BackendConfiguration::ownerKey(snapshot->user.id, environmentKey);
}

} // namespace talvoro
