#include "Platform/KeyValueStore.h"

#include "Platform/AppError.h"
#include "Platform/Files.h"
#include "Platform/Logging.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
#include <QMutex>
#include <QTemporaryDir>

namespace talvoro {

// QSettings treats '/' as a group separator and '\\' specially; our keys may hold
// both (hashes, URLs), so they are stored percent-encoded and decoded on the way out.
namespace {
QString encodeKey(const QString &key)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(key));
}
QString decodeKey(const QString &key)
{
    return QUrl::fromPercentEncoding(key.toLatin1());
}

// An INI file keeps numbers and texts alike as text, so a stored 5 would come back
// as "5". Each value is kept as its serialised QVariant instead, type and all.
QByteArray encodeValue(const QVariant &value)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << value;
    return bytes;
}
QVariant decodeValue(const QVariant &stored)
{
    if (!stored.isValid())
        return {};
    QByteArray bytes = stored.toByteArray();
    QDataStream stream(&bytes, QIODevice::ReadOnly);
    QVariant value;
    stream >> value;
    return stream.status() == QDataStream::Ok ? value : QVariant();
}
} // namespace

SettingsKeyValueStore::SettingsKeyValueStore()
    : m_settings(std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Talvoro"), QStringLiteral("Talvoro")))
{
    removeAbandonedLock();
    noteDamage();
}

SettingsKeyValueStore::SettingsKeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    removeAbandonedLock();
    noteDamage();
}

// A process killed between creating the settings lock and writing its id into it
// leaves an empty lock behind, which Qt honours for 30 s: the next launch's first
// write would block the main thread that long. A lock with an owner id is left to
// Qt, which frees it when that process is gone.
void SettingsKeyValueStore::removeAbandonedLock()
{
    QFile lock(m_settings->fileName() + QStringLiteral(".lock"));
    if (lock.exists() && lock.size() == 0)
        lock.remove();
}

namespace {

// QSettings reads what it can of a damaged file and drops the rest without a word
// (its status stays NoError). The file was read whole when every value decodes and
// what was read, written back, gives the same bytes.
bool readWhole(QSettings &settings, const QByteArray &bytes)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return true; // nothing to compare with: taken as whole, as before
    const QString rewrittenName = scratch.filePath(QStringLiteral("rewritten.ini"));
    {
        QSettings rewritten(rewrittenName, QSettings::IniFormat);
        for (const QString &key : settings.allKeys()) {
            const QVariant stored = settings.value(key);
            if (!decodeValue(stored).isValid())
                return false;
            rewritten.setValue(key, stored);
        }
    }
    QFile rewrittenFile(rewrittenName);
    return (rewrittenFile.open(QIODevice::ReadOnly) ? rewrittenFile.readAll() : QByteArray()) == bytes;
}

// The damaged files of this process, shared by every store over one of them the way
// QSettings shares their contents: the next write makes the loss final, so what was
// lost is known only to the process that read the damage.
QMutex damagedFilesMutex;
QHash<QString, std::shared_ptr<SettingsKeyValueStore::Damage>> damagedFiles;

} // namespace

void SettingsKeyValueStore::noteDamage()
{
    const QString fileName = m_settings->fileName();
    const QMutexLocker lock(&damagedFilesMutex);
    m_damage = damagedFiles.value(fileName);
    if (m_damage)
        return;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return; // none yet
    const QByteArray bytes = file.readAll();
    if (readWhole(*m_settings, bytes))
        return;

    m_damage = std::make_shared<Damage>();
    damagedFiles.insert(fileName, m_damage);
    const QString aside = fileName + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    try {
        writeFileAtomically(aside, bytes);
        qCCritical(log::settings).noquote()
            << QStringLiteral("设置文件已损坏，未能完整读取：%1；损坏的文件已另存为 %2").arg(fileName, aside);
    } catch (const FileError &error) {
        qCCritical(log::settings).noquote()
            << QStringLiteral("设置文件已损坏，未能完整读取：%1；无法另存损坏的文件：%2")
                   .arg(fileName, error.description());
    }
}

void SettingsKeyValueStore::settle(const QString &key)
{
    if (!m_damage)
        return;
    const QMutexLocker lock(&damagedFilesMutex);
    m_damage->settledKeys.insert(key);
}

bool SettingsKeyValueStore::mayHaveLost(const QString &key) const
{
    if (!m_damage)
        return false;
    const QMutexLocker lock(&damagedFilesMutex);
    return !m_damage->settledKeys.contains(key);
}

QVariant SettingsKeyValueStore::value(const QString &key) const
{
    return decodeValue(m_settings->value(encodeKey(key)));
}

void SettingsKeyValueStore::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(encodeKey(key), encodeValue(value));
    m_settings->sync();
    settle(key);
}

void SettingsKeyValueStore::remove(const QString &key)
{
    m_settings->remove(encodeKey(key));
    m_settings->sync();
    settle(key);
}

bool SettingsKeyValueStore::contains(const QString &key) const
{
    return m_settings->contains(encodeKey(key));
}

QStringList SettingsKeyValueStore::keys() const
{
    QStringList result;
    for (const QString &key : m_settings->allKeys())
        result.append(decodeKey(key));
    return result;
}

} // namespace talvoro
