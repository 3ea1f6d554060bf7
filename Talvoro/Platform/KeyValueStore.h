#pragma once

#include <QHash>
#include <QSet>
#include <QSettings>
#include <QString>
#include <QUrl>
#include <QVariant>

#include <memory>

namespace talvoro {

// Small values kept across launches (what user defaults hold on a phone).
class KeyValueStore {
public:
    virtual ~KeyValueStore() = default;
    virtual QVariant value(const QString &key) const = 0; // invalid when absent
    virtual void setValue(const QString &key, const QVariant &value) = 0;
    virtual void remove(const QString &key) = 0;
    virtual bool contains(const QString &key) const = 0;
    virtual QStringList keys() const = 0;
    // Whether the key's value may have been lost to a damaged file: the store was
    // read from a file it could not read whole, and the key has been neither written
    // nor removed since. Asked when a key reads as absent, to tell lost from never set.
    virtual bool mayHaveLost(const QString &key) const
    {
        Q_UNUSED(key);
        return false;
    }
};

// The app's store: an INI file in the application's configuration folder. A file
// that cannot be read whole is logged and its bytes kept aside ("<file>.damaged-<time>")
// before the next write replaces it.
class SettingsKeyValueStore final : public KeyValueStore {
public:
    SettingsKeyValueStore(); // the app's default location
    explicit SettingsKeyValueStore(const QString &filePath); // a file of its own
    QVariant value(const QString &key) const override;
    void setValue(const QString &key, const QVariant &value) override;
    void remove(const QString &key) override;
    bool contains(const QString &key) const override;
    QStringList keys() const override;
    bool mayHaveLost(const QString &key) const override;

    struct Damage {
        QSet<QString> settledKeys; // written or removed since the damaged file was read
    };

private:
    void removeAbandonedLock();
    void noteDamage();
    void settle(const QString &key);

    std::unique_ptr<QSettings> m_settings;
    std::shared_ptr<Damage> m_damage; // none while the file was read whole
};

class MemoryKeyValueStore final : public KeyValueStore {
public:
    QVariant value(const QString &key) const override { return m_values.value(key); }
    void setValue(const QString &key, const QVariant &value) override { m_values.insert(key, value); }
    void remove(const QString &key) override { m_values.remove(key); }
    bool contains(const QString &key) const override { return m_values.contains(key); }
    QStringList keys() const override { return m_values.keys(); }

private:
    QHash<QString, QVariant> m_values;
};

} // namespace talvoro
