#include "DesignSystem/IconCatalog.h"

#include "DesignSystem/DesignLogging.h"

#include <QFile>
#include <QFontDatabase>
#include <QHash>
#include <QSet>
#include <QtEndian>

namespace talvoro {

namespace {

// Symbol name -> Material Icons code point.
const QHash<QString, char32_t> &glyphs()
{
    static const QHash<QString, char32_t> table {
        {QStringLiteral("arrow.clockwise"), 0xe5d5}, // refresh
        {QStringLiteral("arrow.down"), 0xe5db}, // arrow_downward
        {QStringLiteral("arrow.down.circle.fill"), 0xf000}, // download_for_offline
        {QStringLiteral("arrow.right.circle.fill"), 0xeaaa}, // arrow_circle_right
        {QStringLiteral("arrow.right.doc.on.clipboard"), 0xea8e}, // content_paste_go
        {QStringLiteral("arrow.triangle.2.circlepath"), 0xe627}, // sync
        {QStringLiteral("arrow.up"), 0xe5d8}, // arrow_upward
        {QStringLiteral("arrow.up.arrow.down"), 0xe8d5}, // swap_vert
        {QStringLiteral("backward.fill"), 0xe020}, // fast_rewind
        {QStringLiteral("book.closed.fill"), 0xe865}, // book
        {QStringLiteral("character.book.closed"), 0xea19}, // menu_book
        {QStringLiteral("character.book.closed.fill"), 0xea19}, // menu_book
        {QStringLiteral("character.bubble"), 0xe8e2}, // translate
        {QStringLiteral("character.bubble.fill"), 0xe8e2}, // translate
        {QStringLiteral("checkmark"), 0xe5ca}, // check
        {QStringLiteral("checkmark.circle"), 0xe92d}, // check_circle_outline
        {QStringLiteral("checkmark.circle.fill"), 0xe86c}, // check_circle
        {QStringLiteral("checkmark.square.fill"), 0xe834}, // check_box
        {QStringLiteral("chevron.down"), 0xe5cf}, // expand_more
        {QStringLiteral("chevron.left"), 0xe5cb}, // chevron_left
        {QStringLiteral("chevron.right"), 0xe5cc}, // chevron_right
        {QStringLiteral("chevron.up.chevron.down"), 0xe5d7}, // unfold_more
        {QStringLiteral("circle"), 0xe836}, // radio_button_unchecked
        {QStringLiteral("doc.text.fill"), 0xe873}, // description
        {QStringLiteral("ear.and.waveform"), 0xe023}, // hearing
        {QStringLiteral("ear.badge.waveform"), 0xebeb}, // spatial_audio
        {QStringLiteral("ellipsis"), 0xe5d3}, // more_horiz
        {QStringLiteral("ellipsis.circle"), 0xef64}, // pending
        {QStringLiteral("ellipsis.circle.fill"), 0xef64}, // pending
        {QStringLiteral("exclamationmark.circle.fill"), 0xe000}, // error
        {QStringLiteral("exclamationmark.triangle.fill"), 0xe002}, // warning
        {QStringLiteral("externaldrive.fill"), 0xe1db}, // storage
        {QStringLiteral("forward.fill"), 0xe01f}, // fast_forward
        {QStringLiteral("globe"), 0xe894}, // language
        {QStringLiteral("goforward"), 0xe15a}, // redo
        {QStringLiteral("info.circle"), 0xe88f}, // info_outline
        {QStringLiteral("line.3.horizontal"), 0xe25d}, // drag_handle
        {QStringLiteral("lock.fill"), 0xe897}, // lock
        {QStringLiteral("mic.fill"), 0xe029}, // mic
        {QStringLiteral("music.note"), 0xe405}, // music_note
        {QStringLiteral("pause.circle.fill"), 0xe035}, // pause_circle_filled
        {QStringLiteral("pause.fill"), 0xe034}, // pause
        {QStringLiteral("person.badge.plus"), 0xe7fe}, // person_add
        {QStringLiteral("person.circle.fill"), 0xe853}, // account_circle
        {QStringLiteral("person.crop.circle"), 0xe853}, // account_circle
        {QStringLiteral("person.fill"), 0xe7fd}, // person
        {QStringLiteral("play.circle.fill"), 0xe038}, // play_circle_filled
        {QStringLiteral("play.fill"), 0xe037}, // play_arrow
        {QStringLiteral("plus"), 0xe145}, // add
        {QStringLiteral("plus.circle.fill"), 0xe147}, // add_circle
        {QStringLiteral("plus.rectangle.on.folder.fill"), 0xe2cc}, // create_new_folder
        {QStringLiteral("rectangle.portrait.and.arrow.right"), 0xe9ba}, // logout
        {QStringLiteral("repeat"), 0xe040}, // repeat
        {QStringLiteral("shuffle"), 0xe043}, // shuffle
        {QStringLiteral("slider.horizontal.3"), 0xe429}, // tune
        {QStringLiteral("speaker.wave.2"), 0xe050}, // volume_up
        {QStringLiteral("speaker.wave.2.fill"), 0xe050}, // volume_up
        {QStringLiteral("square"), 0xe835}, // check_box_outline_blank
        {QStringLiteral("textformat.abc"), 0xeb94}, // abc
        {QStringLiteral("trash"), 0xe872}, // delete
        {QStringLiteral("trash.fill"), 0xe872}, // delete
        {QStringLiteral("tray"), 0xe156}, // inbox
        {QStringLiteral("waveform"), 0xe1b8}, // graphic_eq
        {QStringLiteral("wifi.exclamationmark"), 0xf063}, // signal_wifi_bad
        {QStringLiteral("wifi.slash"), 0xe648}, // wifi_off
        {QStringLiteral("xmark"), 0xe5cd}, // close
    };
    return table;
}

constexpr char32_t fallbackCodePoint = 0xe8fd; // help_outline

QString text(char32_t codePoint)
{
    return QString::fromUcs4(&codePoint, 1);
}

} // namespace

IconCatalog::IconCatalog(QObject *parent)
    : QObject(parent)
{ }

QByteArray withFamilyRenamed(QByteArray font, QStringView from, QStringView to)
{
    if (from.size() != to.size())
        return font;
    const auto *data = reinterpret_cast<const uchar *>(font.constData());
    const qsizetype size = font.size();
    auto fits = [size](qsizetype offset, qsizetype length) {
        return offset >= 0 && length >= 0 && offset <= size && length <= size - offset;
    };
    if (!fits(0, 12))
        return font;
    // The table directory, then the naming table's records and their strings.
    const quint16 tables = qFromBigEndian<quint16>(data + 4);
    qsizetype nameTable = -1;
    qsizetype nameLength = 0;
    for (quint16 i = 0; i < tables && fits(12 + 16 * qsizetype(i), 16); ++i) {
        const uchar *record = data + 12 + 16 * qsizetype(i);
        if (qstrncmp(reinterpret_cast<const char *>(record), "name", 4) == 0) {
            nameTable = qFromBigEndian<quint32>(record + 8);
            nameLength = qFromBigEndian<quint32>(record + 12);
        }
    }
    if (nameTable < 0 || !fits(nameTable, nameLength) || nameLength < 6)
        return font;
    const quint16 count = qFromBigEndian<quint16>(data + nameTable + 2);
    const qsizetype strings = nameTable + qFromBigEndian<quint16>(data + nameTable + 4);
    for (quint16 i = 0; i < count && 6 + 12 * qsizetype(i) + 12 <= nameLength; ++i) {
        const uchar *record = data + nameTable + 6 + 12 * qsizetype(i);
        const quint16 platform = qFromBigEndian<quint16>(record);
        const quint16 nameId = qFromBigEndian<quint16>(record + 6);
        const qsizetype length = qFromBigEndian<quint16>(record + 8);
        const qsizetype offset = strings + qFromBigEndian<quint16>(record + 10);
        // Family, full name, and the typographic family some fonts add.
        if ((nameId != 1 && nameId != 4 && nameId != 16) || !fits(offset, length))
            continue;
        // Macintosh names are one byte a character, the others UTF-16, big-endian.
        const bool wide = platform != 1;
        QByteArray before;
        QByteArray after;
        for (qsizetype c = 0; c < from.size(); ++c) {
            if (wide) {
                before.append(char(from[c].unicode() >> 8)).append(char(from[c].unicode() & 0xff));
                after.append(char(to[c].unicode() >> 8)).append(char(to[c].unicode() & 0xff));
            } else {
                before.append(from[c].toLatin1());
                after.append(to[c].toLatin1());
            }
        }
        QByteArray name = font.mid(offset, length);
        name.replace(before, after);
        font.replace(offset, length, name);
        data = reinterpret_cast<const uchar *>(font.constData());
    }
    return font;
}

QString IconCatalog::fontFamily()
{
    // Embedded so the symbols never depend on the fonts installed on the device.
    // Under its published name a copy the device has installed would be drawn
    // instead (the font database keeps the face it found first for a family),
    // another version perhaps, or a compressed one that costs a decompression each
    // time it is opened: so it is loaded under a family name of the app's own.
    static const QString family = [] {
        const QString published = QStringLiteral("Material Icons");
        QFile file(QStringLiteral(":/Talvoro/fonts/MaterialIcons-Regular.ttf"));
        const QByteArray font = file.open(QIODevice::ReadOnly)
            ? withFamilyRenamed(file.readAll(), published, QStringLiteral("Talvoro Glyphs"))
            : QByteArray();
        const QStringList families
            = QFontDatabase::applicationFontFamilies(QFontDatabase::addApplicationFontFromData(font));
        if (families.isEmpty()) {
            qCWarning(log::designSystem, "无法加载内置图标字体");
            return published;
        }
        return families.constFirst();
    }();
    return family;
}

QString IconCatalog::fallbackGlyph()
{
    return text(fallbackCodePoint);
}

QStringList IconCatalog::names()
{
    QStringList all = glyphs().keys();
    all.sort();
    return all;
}

bool IconCatalog::contains(const QString &name)
{
    return glyphs().contains(name);
}

QString IconCatalog::glyph(const QString &name)
{
    if (name.isEmpty())
        return {};
    const auto found = glyphs().constFind(name);
    if (found != glyphs().constEnd())
        return text(*found);
    static QSet<QString> reported;
    if (!reported.contains(name)) {
        reported.insert(name);
        qCWarning(log::designSystem, "未知的图标名称：%s", qUtf8Printable(name));
    }
    return fallbackGlyph();
}

} // namespace talvoro
