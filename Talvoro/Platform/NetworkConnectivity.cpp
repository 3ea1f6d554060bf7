#include "Platform/NetworkConnectivity.h"

#include "Platform/Logging.h"

#include <QCoreApplication>
#include <QNetworkInformation>

namespace talvoro {

namespace {

bool loadBackend()
{
    return QNetworkInformation::instance() || QNetworkInformation::loadDefaultBackend()
        || QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)
        || QNetworkInformation::loadBackendByName(u"glib");
}

} // namespace

void NetworkInformationPathSource::start()
{
    if (!loadBackend()) {
        qCWarning(log::network).noquote() << QStringLiteral("没有可用的网络状态后端，网络可用性保持未知");
        return;
    }
    QNetworkInformation *information = QNetworkInformation::instance();
    const auto report = [this](QNetworkInformation::Reachability reachability) {
        if (reachability != QNetworkInformation::Reachability::Unknown)
            Q_EMIT pathUpdated(reachability == QNetworkInformation::Reachability::Online);
    };
    connect(information, &QNetworkInformation::reachabilityChanged, this, report);
    report(information->reachability());
}

ORVNetworkConnectivityMonitor::ORVNetworkConnectivityMonitor(std::unique_ptr<NetworkPathSource> source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    // Queued, so that a report is applied on the main thread's loop whatever thread
    // sent it, and not at all once the monitor is gone.
    connect(m_source.get(), &NetworkPathSource::pathUpdated, this, &ORVNetworkConnectivityMonitor::apply,
        Qt::QueuedConnection);
    m_source->start();
}

ORVNetworkConnectivityMonitor::~ORVNetworkConnectivityMonitor() = default;

void ORVNetworkConnectivityMonitor::apply(bool satisfied)
{
    m_availability = satisfied ? Availability::available : Availability::unavailable;
    Q_EMIT availabilityChanged();
}

} // namespace talvoro
