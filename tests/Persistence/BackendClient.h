#pragma once

#include "BackendProcess.h"

#include "Networking/BackendConfiguration.h"
#include "Networking/ORVMobileAPIClient.h"

#include <QTemporaryDir>

// The app's real client, pointed at a stand-in backend whose authority it trusts.
struct BackendClient {
    talvoro::NetworkTransfer transfer;
    QTemporaryDir cacheDir;
    talvoro::APICacheManager cache {cacheDir.filePath(QStringLiteral("APICacheV2"))};
    QUrl baseUrl;
    talvoro::ORVMobileAPIClient client {transfer, cache, [this] { return std::optional(baseUrl); }};

    BackendClient(const QUrl &url, const QList<QSslCertificate> &authority)
        : baseUrl(url)
    {
        transfer.setAdditionalCertificateAuthorities(authority);
    }

    QString ownerKey(qint64 userId) const
    {
        return talvoro::BackendConfiguration::ownerKey(
            userId, talvoro::BackendConfiguration::environmentPartitionKey(baseUrl))
            .value_or(QString());
    }
};

// A running stand-in backend with one registered account, and the app's client for it.
struct BackendAccount {
    backendtest::BackendProcess backend;
    backendtest::Account account;
    std::optional<BackendClient> remote;
    QString owner;

    bool start()
    {
        if (!backend.start())
            return false;
        account = backend.registerAccount();
        remote.emplace(backend.baseUrl(), backend.authority());
        owner = remote->ownerKey(account.userId);
        return true;
    }
    talvoro::ORVMobileAPIClient &client() { return remote->client; }
    backendtest::Answer call(const QByteArray &method, const QString &path, const QJsonObject &body = {})
    {
        return body.isEmpty() ? backend.call(method, path, account.accessToken)
                              : backend.call(method, path, body, account.accessToken);
    }
};
