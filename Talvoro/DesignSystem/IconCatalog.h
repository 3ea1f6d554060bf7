#pragma once

#include <QObject>
#include <QQmlEngine>
#include <QStringList>

namespace talvoro {

// The one table from the symbol names the screens use to glyphs of the icon font
// embedded in the app. An unknown name gets a visible fallback glyph and a warning.
class IconCatalog : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QString fallbackGlyph READ fallbackGlyph CONSTANT)

public:
    explicit IconCatalog(QObject *parent = nullptr);

    // The family of the embedded icon font (loaded on first use).
    static QString fontFamily();
    static QString fallbackGlyph();
    static QStringList names();
    Q_INVOKABLE static bool contains(const QString &name);
    // The glyph for `name`, the fallback glyph (with a warning, once per name) when
    // the name is unknown, and nothing for an empty name.
    Q_INVOKABLE static QString glyph(const QString &name);
};

} // namespace talvoro
