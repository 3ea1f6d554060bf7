#pragma once

#include "Models/Account.h"

#include <QString>

#include <optional>

namespace talvoro {

class AppSession;

// The token and user a request is made for.
struct SessionCredentials {
    QString accessToken;
    std::optional<UserSummary> user;
};

// The token and user of a signed-in session; none while restoring, signed out,
// without a session or without a token.
std::optional<SessionCredentials> signedInCredentials(const AppSession *session);

// The access token of a signed-in session; none when signedInCredentials has none.
std::optional<QString> signedInAccessToken(const AppSession *session);

// The owner key of the signed-in user in the backend environment with this
// partition key: needs a user id of at least 1 and a user name that is not blank;
// none otherwise, and none without an environment key.
std::optional<QString> signedInOwnerKey(const AppSession *session, const std::optional<QString> &environmentKey);

} // namespace talvoro
