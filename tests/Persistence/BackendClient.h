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
