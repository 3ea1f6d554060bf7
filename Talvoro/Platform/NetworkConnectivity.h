#pragma once

#include <QObject>

#include <memory>

namespace talvoro {

// Where reports about the device's network path come from. Each report says
// whether the path can carry traffic now; a source may report the same twice.
class NetworkPathSource : public QObject {
    Q_OBJECT

public:
    // Starts reporting; called once, after the listener is connected.
    virtual void start() = 0;

Q_SIGNALS:
    void pathUpdated(bool satisfied);
};

// The platform's reachability. Tries the default backend, else one that reports
// reachability (glib's). Without a backend it never reports; a report of unknown
// reachability is no report either.
class NetworkInformationPathSource final : public NetworkPathSource {
    Q_OBJECT

public:
    void start() override;
};

// Whether the device has a usable network path: unknown until the first report,
// then available or unavailable. Every report is published, also when the value
// stays the same. Reports reach it through the main thread's event loop.
class ORVNetworkConnectivityMonitor : public QObject {
    Q_OBJECT
    Q_PROPERTY(Availability availability READ availability NOTIFY availabilityChanged)

public:
    enum class Availability { unknown, available, unavailable };
    Q_ENUM(Availability)

    explicit ORVNetworkConnectivityMonitor(
        std::unique_ptr<NetworkPathSource> source = std::make_unique<NetworkInformationPathSource>(),
        QObject *parent = nullptr);
    ~ORVNetworkConnectivityMonitor() override;

    Availability availability() const { return m_availability; }

Q_SIGNALS:
    void availabilityChanged();

private:
    void apply(bool satisfied);

    Availability m_availability = Availability::unknown;
    std::unique_ptr<NetworkPathSource> m_source;
};

using ORVNetworkAvailability = ORVNetworkConnectivityMonitor::Availability;

} // namespace talvoro
