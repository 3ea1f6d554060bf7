#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// Where the backend is, and the keys that keep each backend's and each user's local
// data apart: the environment key "env-sha256:<64 hex>" names scheme, host and port;
// the owner key adds "|user:<id>". Pure functions: nothing is cached, every refusal is
// an absent result and the caller decides what it means.
namespace talvoro::BackendConfiguration {

// The base URL the app was built with (the TALVORO_BACKEND_BASE_URL build setting),
// validated; none when it is missing or refused.
std::optional<QUrl> loadFromMainBundle();

// The same rule over a given configuration document {"BackendBaseURL": "..."}.
std::optional<QUrl> loadFromConfiguration(const QByteArray &configurationJson);

// Only absolute https URLs with a host and no user, password, query or fragment.
std::optional<QUrl> validatedBaseURL(const std::optional<QString> &raw);

std::optional<QString> environmentPartitionKey(const std::optional<QUrl> &baseURL);
std::optional<QString> ownerKey(qint64 userId, const std::optional<QString> &environmentKey);

// Two lower-case hexadecimal digits per byte.
QString hexDigest(const QByteArray &digest);

} // namespace talvoro::BackendConfiguration
