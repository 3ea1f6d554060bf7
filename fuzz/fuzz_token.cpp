// The subject read from an access token, which names the response cache's scope.
#include "FuzzSupport.h"

#include "Networking/ORVMobileAPIClient.h"

using namespace talvoro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString token = QString::fromUtf8(fuzzsupport::bytes(data, size));
    if (const std::optional<QString> subject = ORVMobileAPIClient::jwtSubject(token)) {
        if (subject->isEmpty())
            fuzzsupport::fail("an empty subject was accepted", token.toUtf8());
    }
    (void)ORVMobileAPIClient::credentialScope(token);
    return 0;
}
