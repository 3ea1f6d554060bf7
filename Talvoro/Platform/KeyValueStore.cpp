#include "Platform/KeyValueStore.h"

#include "Platform/Logging.h"

#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QIODevice>
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
    keepDamagedFileAside();
}

SettingsKeyValueStore::SettingsKeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    removeAbandonedLock();
    keepDamagedFileAside();
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

// QSettings reads what it can of a damaged file, drops the rest without a word (its
// status stays NoError), and its next write makes the loss final. The file is whole
// when every value read decodes and what was read, written back, gives the same
// bytes; otherwise it is copied aside for inspection and the store remembers that
// any key it lacks may have been lost.
void SettingsKeyValueStore::keepDamagedFileAside()
{
    const QString fileName = m_settings->fileName();
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return; // none yet
    const QByteArray bytes = file.readAll();
    file.close();

    QTemporaryDir scratch;
    if (!scratch.isValid())
        return;
    const QString rewrittenName = scratch.filePath(QStringLiteral("rewritten.ini"));
    const QStringList keys = m_settings->allKeys();
    bool everyValueDecodes = true;
    {
        QSettings rewritten(rewrittenName, QSettings::IniFormat);
        for (const QString &key : keys) {
            const QVariant stored = m_settings->value(key);
            everyValueDecodes = everyValueDecodes && decodeValue(stored).isValid();
            rewritten.setValue(key, stored);
        }
    }
    QFile rewrittenFile(rewrittenName);
    const QByteArray rewrittenBytes = rewrittenFile.open(QIODevice::ReadOnly) ? rewrittenFile.readAll() : QByteArray();
    if (everyValueDecodes && rewrittenBytes == bytes)
        return;

    m_damaged = true;
    const QString aside = fileName + QStringLiteral(".damaged-")
        + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'"));
    if (QFile::copy(fileName, aside))
        qCCritical(log::settings).noquote()
            << QStringLiteral("设置文件已损坏，未能完整读取：%1；损坏的文件已另存为 %2").arg(fileName, aside);
    else
        qCCritical(log::settings).noquote()
            << QStringLiteral("设置文件已损坏，未能完整读取：%1；无法另存损坏的文件").arg(fileName);
}

bool SettingsKeyValueStore::mayHaveLost(const QString &key) const
{
    return m_damaged && !m_settledKeys.contains(key);
}

QVariant SettingsKeyValueStore::value(const QString &key) const
{
    return decodeValue(m_settings->value(encodeKey(key)));
}

void SettingsKeyValueStore::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(encodeKey(key), encodeValue(value));
    m_settings->sync();
    if (m_damaged)
        m_settledKeys.insert(key);
}

void SettingsKeyValueStore::remove(const QString &key)
{
    m_settings->remove(encodeKey(key));
    m_settings->sync();
    if (m_damaged)
        m_settledKeys.insert(key);
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
