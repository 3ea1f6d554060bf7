#pragma once

#include "Networking/ORVMobileAPIClient.h"
#include "Persistence/LocalWordStoreProtocol.h"
#include "Persistence/UserLexiconWordSnapshotStore.h"
#include "Platform/Async.h"
#include "Session/AppSession.h"

#include <QPointer>

#include <functional>
#include <optional>

namespace talvoro {

// What the private lexicon screens work with. The services are app-wide and
// outlive every screen, so work that outlives its screen may keep a copy.
struct UserLexiconServices {
    using LexiconSynchronizer = std::function<Task<>(QString accessToken, QString ownerKey)>;

    ORVMobileAPIClient *apiClient = nullptr;
    LocalWordStoreProtocol *store = nullptr;
    UserLexiconWordSnapshotStore *snapshots = nullptr;
    QPointer<AppSession> session;
    // The backend environment's partition key; without one no owner key exists.
    std::optional<QString> environmentKey;
    LexiconSynchronizer synchronizePrivateLexicons;

    // The signed-in access token; none unless authenticated with one.
    std::optional<QString> accessToken() const;
    // The owner key of the signed-in user: needs a user id of at least 1 and a
    // user name that is not blank; none otherwise.
    std::optional<QString> ownerKey() const;
};

} // namespace talvoro
