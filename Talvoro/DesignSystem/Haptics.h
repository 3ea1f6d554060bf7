#pragma once

#include <QObject>
#include <QQmlEngine>

namespace talvoro {

// Haptic feedback. A desktop has no haptic engine, so a tap is only counted; tests
// read the count. One instance per process.
class Haptics : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(int lightImpactCount READ lightImpactCount NOTIFY lightImpactCountChanged)

public:
    // Not default-constructible, so that QML takes the shared instance from create().
    explicit Haptics(QObject *parent);
    static Haptics *shared();
    static Haptics *create(QQmlEngine *, QJSEngine *);

    int lightImpactCount() const { return m_lightImpactCount; }
    Q_INVOKABLE void lightImpact();
    Q_INVOKABLE void resetCount();

Q_SIGNALS:
    void lightImpactCountChanged();

private:
    int m_lightImpactCount = 0;
};

} // namespace talvoro
