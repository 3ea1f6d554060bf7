#pragma once

#include <QSslCertificate>
#include <QSslKey>
#include <QString>

// The certificate authority this server makes for local use on its first start,
// and the loopback certificate it signs with it. Both stay in the data folder, so
// a client that trusts the authority once keeps trusting the server.
namespace standin {

struct ServerIdentity {
    QString authorityPath; // PEM, for clients to trust
    QSslCertificate certificate;
    QSslKey key;
};

// Makes whatever is missing or about to expire with the openssl command; throws
// std::runtime_error when that fails.
ServerIdentity ensureServerIdentity(const QString &directory);

} // namespace standin
