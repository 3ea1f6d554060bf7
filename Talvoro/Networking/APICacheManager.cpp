#include "Networking/APICacheManager.h"

#include "Platform/Files.h"
#include "Platform/Json.h"
#include "Platform/Logging.h"
#include "Platform/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace talvoro {

size_t qHash(const CacheIdentity &identity, size_t seed)
{
    return qHashMulti(seed, identity.key, identity.scope);
}

namespace {

constexpr qint64 schemaVersion = 2;

struct Envelope {
    qint64 schemaVersion = 0;
    CacheIdentity identity;
    QDateTime createdAt;
    QDateTime freshUntil;
    QDateTime staleIfErrorUntil;
    quint64 generation = 0;
    QByteArray payload;
};

// Generations are unsigned 64-bit and wrap from 2^64 - 1 to 0. The JSON reader keeps
// an integer exact only up to 2^53 and hands larger ones over as doubles, so the
// digits are read from the file's text: the one "generation" member, in plain
// decimal digits, agreeing with the value the reader saw.
quint64 readGeneration(const QByteArray &bytes, const json::ObjectReader &envelope)
{
    const QString key = QStringLiteral("generation");
    const double parsed = envelope.number(key);
    const auto refuse
        = [&] { return json::DecodingError(envelope.pathOf(key), QStringLiteral("应为 64 位无符号整数")); };
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    constexpr QByteArrayView member = "\"generation\"";
    std::optional<quint64> generation;
    for (qsizetype at = bytes.indexOf(member); at >= 0; at = bytes.indexOf(member, at + 1)) {
        qsizetype pos = at + member.size();
        while (pos < bytes.size() && isSpace(bytes[pos]))
            ++pos;
        if (pos == bytes.size() || bytes[pos] != ':')
            continue; // the name as a value, not as a key
        do
            ++pos;
        while (pos < bytes.size() && isSpace(bytes[pos]));
        const qsizetype start = pos;
        while (pos < bytes.size() && bytes[pos] >= '0' && bytes[pos] <= '9')
            ++pos;
        bool ok = false;
        const quint64 digits = bytes.mid(start, pos - start).toULongLong(&ok);
        if (!ok || generation || (pos < bytes.size() && (bytes[pos] == '.' || bytes[pos] == 'e' || bytes[pos] == 'E')))
            throw refuse();
        generation = digits;
    }
    if (!generation || double(*generation) != parsed)
        throw refuse();
    return *generation;
}

std::optional<Envelope> decodeEnvelope(const QByteArray &bytes)
{
    try {
        const json::ObjectReader r(json::parseObject(bytes));
        Envelope e;
        e.schemaVersion = r.integer(QStringLiteral("schemaVersion"));
        e.identity.key = r.string(QStringLiteral("key"));
        e.identity.scope = r.string(QStringLiteral("scope"));
        e.createdAt = r.referenceDate(QStringLiteral("createdAt"));
        e.freshUntil = r.referenceDate(QStringLiteral("freshUntil"));
        e.staleIfErrorUntil = r.referenceDate(QStringLiteral("staleIfErrorUntil"));
        e.generation = readGeneration(bytes, r);
        const auto decoded = QByteArray::fromBase64Encoding(
            r.string(QStringLiteral("payload")).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        e.payload = *decoded;
        return e;
    } catch (const json::DecodingError &) {
        return std::nullopt;
    }
}

// Written by hand so the members keep their documented order and the generation
// stays exact over the whole unsigned range.
QByteArray encodeEnvelope(const Envelope &e)
{
    auto quoted = [](const QString &text) {
        QByteArray json = QJsonDocument(QJsonArray {text}).toJson(QJsonDocument::Compact);
        return json.mid(1, json.size() - 2); // strip the array brackets
    };
    auto number = [](double seconds) {
        if (!std::isfinite(seconds))
            throw json::EncodingError(QStringLiteral("date"), QStringLiteral("数字不是有限值"));
        return QByteArray::number(seconds, 'g', 17);
    };
    QByteArray out;
    out += "{\"schemaVersion\":" + QByteArray::number(e.schemaVersion);
    out += ",\"key\":" + quoted(e.identity.key);
    out += ",\"scope\":" + quoted(e.identity.scope);
    out += ",\"createdAt\":" + number(text::referenceSeconds(e.createdAt));
    out += ",\"freshUntil\":" + number(text::referenceSeconds(e.freshUntil));
    out += ",\"staleIfErrorUntil\":" + number(text::referenceSeconds(e.staleIfErrorUntil));
    out += ",\"generation\":" + QByteArray::number(e.generation);
    out += ",\"payload\":\"" + e.payload.toBase64() + "\"}";
    return out;
}

QDateTime plusSeconds(const QDateTime &t, double seconds)
{
    return t.addMSecs(qint64(std::llround(seconds * 1000.0)));
}

} // namespace

class APICacheManager::Core {
public:
    Core(QString directory, APICacheLimits limits, std::shared_ptr<const Clock> clock)
        : m_directory(std::move(directory))
        , m_limits(limits)
        , m_clock(std::move(clock))
    { }

    void createDirectory()
    {
        if (!QDir().mkpath(m_directory))
            qCCritical(log::apiCache).noquote() << QStringLiteral("API 缓存目录创建失败：无法创建 %1").arg(m_directory);
    }

    QString fileURL(const CacheIdentity &identity) const { return QDir(m_directory).filePath(fileName(identity)); }

    std::optional<Envelope> loadEnvelope(const CacheIdentity &identity)
    {
        const QString path = fileURL(identity);
        QFile file(path);
        if (!file.exists())
            return std::nullopt;
        std::optional<Envelope> envelope;
        if (file.open(QIODevice::ReadOnly))
            envelope = decodeEnvelope(file.readAll());
        file.close();
        if (!envelope || envelope->schemaVersion != schemaVersion || envelope->identity != identity) {
            QFile::remove(path);
            return std::nullopt;
        }
        return envelope;
    }

    quint64 generation(const CacheIdentity &identity)
    {
        if (auto it = m_generations.constFind(identity); it != m_generations.cend())
            return *it;
        const auto envelope = loadEnvelope(identity);
        const quint64 g = envelope ? envelope->generation : 0;
        m_generations.insert(identity, g);
        return g;
    }

    APICacheWriteToken beginRequest(const CacheIdentity &identity)
    {
        const quint64 g = generation(identity);
        ++m_nextRequestSequence; // wraps to 0 after 2^64 - 1
        m_latestRequestSequences.insert(identity, m_nextRequestSequence);
        return {identity, g, m_nextRequestSequence};
    }

    bool isCurrent(const APICacheWriteToken &token)
    {
        if (generation(token.identity) != token.generation)
            return false;
        const auto it = m_latestRequestSequences.constFind(token.identity);
        return it != m_latestRequestSequences.cend() && *it == token.requestSequence;
    }

    std::optional<APICacheEntry> entry(const CacheIdentity &identity)
    {
        const auto envelope = loadEnvelope(identity);
        if (!envelope)
            return std::nullopt;
        const QDateTime now = m_clock->now();
        if (envelope->staleIfErrorUntil < now) {
            remove(identity);
            return std::nullopt;
        }
        const quint64 known = m_generations.value(identity, 0);
        m_generations.insert(identity, std::max(known, envelope->generation));
        const auto freshness
            = envelope->freshUntil < now ? APICacheEntry::Freshness::stale : APICacheEntry::Freshness::fresh;
        return APICacheEntry {envelope->payload, freshness, envelope->createdAt};
    }

    APICacheStoreOutcome store(
        const QByteArray &payload, const APICacheWriteToken &token, double freshFor, double staleIfErrorFor)
    {
        const quint64 g = generation(token.identity);
        const auto latest = m_latestRequestSequences.constFind(token.identity);
        if (g != token.generation || latest == m_latestRequestSequences.cend() || *latest != token.requestSequence) {
            qCDebug(log::apiCache).noquote() << QStringLiteral("丢弃失效或乱序的 API 缓存写入");
            return APICacheStoreOutcome::superseded;
        }
        const QDateTime now = m_clock->now();
        Envelope e {schemaVersion, token.identity, now, plusSeconds(now, freshFor), plusSeconds(now, staleIfErrorFor),
            g, payload};
        QByteArray bytes;
        try {
            bytes = encodeEnvelope(e);
        } catch (const AppError &error) {
            qCCritical(log::apiCache).noquote() << QStringLiteral("API 缓存写入失败：%1").arg(error.description());
            return APICacheStoreOutcome::notStored;
        }
        if (bytes.size() > m_limits.maximumTotalBytes) {
            qCCritical(log::apiCache).noquote() << QStringLiteral("单个 API 缓存响应超过容量上限，已跳过落盘");
            remove(token.identity);
            return APICacheStoreOutcome::notStored;
        }
        try {
            writeFileAtomically(fileURL(token.identity), bytes);
        } catch (const AppError &error) {
            qCCritical(log::apiCache).noquote() << QStringLiteral("API 缓存写入失败：%1").arg(error.description());
            return APICacheStoreOutcome::notStored;
        }
        evictIfNeeded(token.identity);
        return APICacheStoreOutcome::stored;
    }

    void invalidateEntry(const CacheIdentity &identity)
    {
        m_generations.insert(identity, generation(identity) + 1); // wraps to 0
        m_latestRequestSequences.remove(identity);
        remove(identity);
    }

    void invalidate(const QString &prefix, const QString &scope)
    {
        QList<CacheIdentity> matching;
        auto consider = [&](const CacheIdentity &identity) {
            if (identity.scope == scope && identity.key.startsWith(prefix) && !matching.contains(identity))
                matching.append(identity);
        };
        for (auto it = m_generations.cbegin(); it != m_generations.cend(); ++it)
            consider(it.key());
        for (auto it = m_latestRequestSequences.cbegin(); it != m_latestRequestSequences.cend(); ++it)
            consider(it.key());
        for (const QFileInfo &info : listDirectory()) {
            const auto envelope = readFile(info.absoluteFilePath());
            if (!envelope) {
                QFile::remove(info.absoluteFilePath());
                continue;
            }
            consider(envelope->identity);
        }
        for (const CacheIdentity &identity : matching)
            invalidateEntry(identity);
    }

private:
    struct Candidate {
        CacheIdentity identity;
        QString fileURL;
        QDateTime createdAt;
        qint64 byteCount = 0;
    };

    QFileInfoList listDirectory() const
    {
        // Sorted by name so the order among equal creation times is stable.
        return QDir(m_directory).entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
    }

    static std::optional<Envelope> readFile(const QString &path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return decodeEnvelope(file.readAll());
    }

    void remove(const CacheIdentity &identity)
    {
        QFile file(fileURL(identity));
        if (file.exists() && !file.remove())
            qCCritical(log::apiCache).noquote() << QStringLiteral("API 缓存删除失败：%1").arg(file.errorString());
    }

    void evictIfNeeded(const CacheIdentity &protectedIdentity)
    {
        const QDateTime now = m_clock->now();
        QList<Candidate> candidates;
        for (const QFileInfo &info : listDirectory()) {
            const QString path = info.absoluteFilePath();
            const auto envelope = readFile(path);
            if (!envelope || envelope->schemaVersion != schemaVersion) {
                QFile::remove(path);
                continue;
            }
            if (envelope->staleIfErrorUntil < now) {
                invalidateEntry(envelope->identity);
                continue;
            }
            candidates.append({envelope->identity, path, envelope->createdAt, info.size()});
        }
        qint64 count = candidates.size();
        qint64 total = 0;
        for (const Candidate &c : candidates)
            total += c.byteCount;
        candidates.removeIf([&](const Candidate &c) { return c.identity == protectedIdentity; });
        std::stable_sort(candidates.begin(), candidates.end(),
            [](const Candidate &a, const Candidate &b) { return a.createdAt < b.createdAt; });
        for (const Candidate &c : candidates) {
            if (count <= m_limits.maximumEntryCount && total <= m_limits.maximumTotalBytes)
                continue;
            QFile file(c.fileURL);
            if (!file.remove()) {
                qCCritical(log::apiCache).noquote()
                    << QStringLiteral("API 缓存容量淘汰失败：%1").arg(file.errorString());
                continue;
            }
            m_generations.insert(c.identity, generation(c.identity) + 1);
            m_latestRequestSequences.remove(c.identity);
            --count;
            total -= c.byteCount;
        }
    }

    QString m_directory;
    APICacheLimits m_limits;
    std::shared_ptr<const Clock> m_clock;
    QHash<CacheIdentity, quint64> m_generations;
    QHash<CacheIdentity, quint64> m_latestRequestSequences;
    quint64 m_nextRequestSequence = 0;
};

APICacheManager::APICacheManager(const QString &directory, APICacheLimits limits, std::shared_ptr<const Clock> clock)
    : m_directory(directory)
    , m_core(std::make_unique<Core>(directory, limits, std::move(clock)))
    , m_executor(QStringLiteral("APICacheManager"))
{
    m_core->createDirectory();
}

APICacheManager::~APICacheManager() = default;

QString APICacheManager::defaultDirectory(const AppDirectories &directories)
{
    return QDir(directories.caches).filePath(QStringLiteral("APICacheV2"));
}

QString APICacheManager::fileName(const CacheIdentity &identity)
{
    return text::sha256Hex(identity.scope + QChar(0x1F) + identity.key) + QStringLiteral(".json");
}

Task<APICacheWriteToken> APICacheManager::beginRequest(QString key, QString scope)
{
    auto work = [core = m_core.get(), identity = CacheIdentity {key, scope}] { return core->beginRequest(identity); };
    co_return co_await m_executor.run(work);
}

Task<std::optional<APICacheEntry>> APICacheManager::entry(QString key, QString scope)
{
    auto work = [core = m_core.get(), identity = CacheIdentity {key, scope}] { return core->entry(identity); };
    co_return co_await m_executor.run(work);
}

Task<APICacheStoreOutcome> APICacheManager::store(
    QByteArray payload, APICacheWriteToken token, double freshFor, double staleIfErrorFor)
{
    auto work = [core = m_core.get(), payload, token, freshFor, staleIfErrorFor] {
        return core->store(payload, token, freshFor, staleIfErrorFor);
    };
    co_return co_await m_executor.run(work);
}

Task<bool> APICacheManager::isCurrent(APICacheWriteToken token)
{
    auto work = [core = m_core.get(), token] { return core->isCurrent(token); };
    co_return co_await m_executor.run(work);
}

Task<> APICacheManager::invalidateEntry(QString key, QString scope)
{
    auto work = [core = m_core.get(), identity = CacheIdentity {key, scope}] { core->invalidateEntry(identity); };
    co_await m_executor.run(work);
}

Task<> APICacheManager::invalidate(QString keyPrefix, QString scope)
{
    auto work = [core = m_core.get(), keyPrefix, scope] { core->invalidate(keyPrefix, scope); };
    co_await m_executor.run(work);
}

QString APICacheManager::directory() const
{
    return m_directory;
}

} // namespace talvoro
