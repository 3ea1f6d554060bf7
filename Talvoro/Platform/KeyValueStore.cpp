#include "Platform/KeyValueStore.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>

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
}

SettingsKeyValueStore::SettingsKeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{
    removeAbandonedLock();
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

QVariant SettingsKeyValueStore::value(const QString &key) const
{
    return decodeValue(m_settings->value(encodeKey(key)));
}

void SettingsKeyValueStore::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(encodeKey(key), encodeValue(value));
    m_settings->sync();
}

void SettingsKeyValueStore::remove(const QString &key)
{
    m_settings->remove(encodeKey(key));
    m_settings->sync();
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
