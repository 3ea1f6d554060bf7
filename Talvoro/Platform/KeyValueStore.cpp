#include "Platform/KeyValueStore.h"

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
} // namespace

SettingsKeyValueStore::SettingsKeyValueStore()
    : m_settings(std::make_unique<QSettings>(
        QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Talvoro"), QStringLiteral("Talvoro")))
{ }

SettingsKeyValueStore::SettingsKeyValueStore(const QString &filePath)
    : m_settings(std::make_unique<QSettings>(filePath, QSettings::IniFormat))
{ }

QVariant SettingsKeyValueStore::value(const QString &key) const
{
    return m_settings->value(encodeKey(key));
}

void SettingsKeyValueStore::setValue(const QString &key, const QVariant &value)
{
    m_settings->setValue(encodeKey(key), value);
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
