// The response cache's files, read through the store itself: one entry's file
// holds the input, then the entry is read, its generation taken for a request,
// and the scope invalidated (which reads every file in the folder).
#include "FuzzSupport.h"

#include "AwaitTask.h"
#include "Networking/APICacheManager.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace talvoro;

namespace {

const QString key = QStringLiteral("GET_/api/v1/public/lexicons");
const QString scope = QStringLiteral("env-sha256:fuzz|public");

struct World {
    int argc = 1;
    char name[16] = "fuzz_apicache";
    char *argv[2] = {name, nullptr};
    QCoreApplication app {argc, argv};
    QTemporaryDir folder;
    // Fixed at 2023-11-14 22:13:20 UTC, the time the seed entries were written for.
    APICacheManager cache {folder.path(), {},
        std::make_shared<ManualClock>(QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC))};
    QString file = QDir(folder.path()).filePath(APICacheManager::fileName({key, scope}));
};

World *world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The world lives as long as the process: libFuzzer ends it with exit(), which
    // runs no destructor of a heap object, so the folder is removed here.
    world = new World;
    std::atexit([] { world->folder.remove(); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using testsupport::awaitResult;
    QFile file(world->file);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        fuzzsupport::fail("the cache file could not be written");
    file.close();
    (void)awaitResult(world->cache.entry(key, scope));
    (void)awaitResult(world->cache.beginRequest(key, scope));
    awaitResult(world->cache.invalidate(QString(), scope));
    if (QFile::exists(world->file))
        fuzzsupport::fail("an invalidated entry's file stayed");
    return 0;
}
