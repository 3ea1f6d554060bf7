#pragma once

#include <QByteArray>
#include <QObject>
#include <QQmlEngine>
#include <QStringList>

namespace talvoro {

// The font file `font` (TrueType or OpenType) with `from` replaced by `to` in the
// names it gives its family and full name. The two must be equally long, so that
// nothing in the file moves; anything that is not a well-formed font comes back
// unchanged.
QByteArray withFamilyRenamed(QByteArray font, QStringView from, QStringView to);

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

    // The family of the embedded icon font (loaded on first use), a name of the
    // app's own.
    static QString fontFamily();
    static QString fallbackGlyph();
    static QStringList names();
    Q_INVOKABLE static bool contains(const QString &name);
    // The glyph for `name`, the fallback glyph (with a warning, once per name) when
    // the name is unknown, and nothing for an empty name.
    Q_INVOKABLE static QString glyph(const QString &name);
};

} // namespace talvoro
