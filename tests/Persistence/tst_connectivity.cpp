#include "TestRegistry.h"

#include "Platform/NetworkConnectivity.h"

#include <QCoreApplication>
#include <QNetworkInformation>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace talvoro;
using Availability = ORVNetworkAvailability;

namespace {

// Reports what the test tells it to.
class FakePathSource final : public NetworkPathSource {
    Q_OBJECT

public:
    explicit FakePathSource(int *starts)
        : m_starts(starts)
    { }
    void start() override { ++*m_starts; }
    void report(bool satisfied) { emit pathUpdated(satisfied); }

private:
    int *m_starts;
};

} // namespace

Q_DECLARE_METATYPE(QList<bool>)

class ConnectivityTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void transitions_data()
    {
        QTest::addColumn<QList<bool>>("reports");
        QTest::addColumn<QList<Availability>>("published");
        QTest::newRow("none") << QList<bool>() << QList<Availability>();
        QTest::newRow("offline") << QList<bool> {false} << QList<Availability> {Availability::unavailable};
        QTest::newRow("repeated") << QList<bool> {true, true}
                                  << QList<Availability> {Availability::available, Availability::available};
        QTest::newRow("lost and back") << QList<bool> {true, false,
            true} << QList<Availability> {Availability::available, Availability::unavailable, Availability::available};
    }
    void transitions()
    {
        QFETCH(QList<bool>, reports);
        QFETCH(QList<Availability>, published);
        int starts = 0;
        auto source = std::make_unique<FakePathSource>(&starts);
        FakePathSource *fake = source.get();
        ORVNetworkConnectivityMonitor monitor(std::move(source));
        QCOMPARE(starts, 1);
        QList<Availability> seen;
        connect(&monitor, &ORVNetworkConnectivityMonitor::availabilityChanged, this,
            [&] { seen.append(monitor.availability()); });
        for (bool satisfied : reports)
            fake->report(satisfied);
        // Applied through the event loop, never inside the report.
        QCOMPARE(monitor.availability(), Availability::unknown);
        QTRY_COMPARE(seen.size(), published.size());
        QTest::qWait(0);
        QCOMPARE(seen, published);
        QCOMPARE(monitor.property("availability").value<Availability>(),
            published.isEmpty() ? Availability::unknown : published.constLast());
    }

    void reportAfterTheMonitorIsGoneChangesNothing()
    {
        int starts = 0;
        auto source = std::make_unique<FakePathSource>(&starts);
        FakePathSource *fake = source.get();
        int published = 0;
        {
            ORVNetworkConnectivityMonitor monitor(std::move(source));
            connect(&monitor, &ORVNetworkConnectivityMonitor::availabilityChanged, this, [&] { ++published; });
            fake->report(true);
        }
        QCoreApplication::processEvents();
        QCOMPARE(published, 0);
    }

    void withoutABackendStaysUnknown()
    {
        if (QNetworkInformation::instance())
            QSKIP("a reachability backend is already loaded in this process");
        // No plugin folder, so no reachability backend can load.
        const QStringList paths = QCoreApplication::libraryPaths();
        QTemporaryDir empty;
        QCoreApplication::setLibraryPaths({empty.path()});
        QTest::ignoreMessage(QtWarningMsg, "没有可用的网络状态后端，网络可用性保持未知");
        ORVNetworkConnectivityMonitor monitor;
        QCoreApplication::setLibraryPaths(paths);
        QTest::qWait(50);
        QCOMPARE(monitor.availability(), Availability::unknown);
    }
};

TALVORO_TEST(ConnectivityTest)
#include "tst_connectivity.moc"
