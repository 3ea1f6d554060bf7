// The preference record kept per owner in the key-value store: loading it whole
// (decoding and its checks), then saving what was loaded and loading that again.
#include "FuzzSupport.h"

#include "Persistence/PlaybackPreferenceOfflineStore.h"

using namespace talvoro;

namespace {

const QString ownerKey = QStringLiteral("env-sha256:") + QString(64, u'a') + QStringLiteral("|user:1");

std::optional<PlaybackPreferenceLocalRecord> load(KeyValueStore &store)
{
    try {
        return PlaybackPreferenceOfflineStore::loadRecord(ownerKey, store);
    } catch (const PlaybackPreferenceOfflineStoreError &error) {
        if (error.kind() != PlaybackPreferenceOfflineStoreError::Kind::corruptedRecord)
            fuzzsupport::fail("a stored record failed otherwise than as corrupted");
        if (store.contains(PlaybackPreferenceOfflineStore::storageKey(ownerKey)))
            fuzzsupport::fail("a corrupted record was kept");
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString key = PlaybackPreferenceOfflineStore::storageKey(ownerKey);
    MemoryKeyValueStore store;
    store.setValue(key, QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const auto record = load(store);
    if (!record)
        return 0;

    try {
        PlaybackPreferenceOfflineStore::saveRecord(*record, ownerKey, store);
    } catch (const PlaybackPreferenceOfflineStoreError &) {
        return 0; // not encodable: the stored value stays as it was
    }
    const QByteArray saved = store.value(key).toByteArray();
    const auto reloaded = load(store);
    if (!reloaded)
        fuzzsupport::fail("a saved record does not load", saved);
    PlaybackPreferenceOfflineStore::saveRecord(*reloaded, ownerKey, store);
    if (store.value(key).toByteArray() != saved)
        fuzzsupport::fail("a saved record loads differently", saved + "\n" + store.value(key).toByteArray());
    return 0;
}
