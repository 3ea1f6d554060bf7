#include "UserLexiconServices.h"

#include "Session/SignedInUser.h"

namespace talvoro {

std::optional<QString> UserLexiconServices::accessToken() const
{
    return signedInAccessToken(session);
}

std::optional<QString> UserLexiconServices::ownerKey() const
{
    return signedInOwnerKey(session, environmentKey);
}

} // namespace talvoro
