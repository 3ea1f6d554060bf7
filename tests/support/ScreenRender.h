#pragma once

#include "SceneDriver.h"

#include <QDir>
#include <QMap>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTest>

#include <memory>

// Renders one screen over a model built on fakes, in a phone-sized window, for a
// person to look at under test-output/screens/ and for a test to read its texts;
// the looks to render in are scenetest::looks.
namespace scenetest {

// A phone-sized window around `body`, which sees `screenModel` from the context.
struct Screen {
    QQmlEngine engine;
    std::unique_ptr<QObject> root;
    QQuickWindow *window = nullptr;

    bool show(QObject *model, const QByteArray &body)
    {
        return show({{QStringLiteral("screenModel"), model}}, body);
    }
    // The same, with each object seen from the context under its own name.
    bool show(const QMap<QString, QObject *> &objects, const QByteArray &body)
    {
        engine.addImportPath(QStringLiteral("qrc:/"));
        for (auto it = objects.begin(); it != objects.end(); ++it)
            engine.rootContext()->setContextProperty(it.key(), it.value());
        QQmlComponent component(&engine);
        component.setData("import QtQuick\nimport QtQuick.Window\nimport Talvoro\n"
                          "Window { width: 390; height: 844; visible: true; color: Theme.background\n"
                + body + "\n}\n",
            QUrl(QStringLiteral("qrc:/tests/Screen.qml")));
        root.reset(component.create());
        if (!root)
            qWarning() << component.errors();
        window = qobject_cast<QQuickWindow *>(root.get());
        return window && QTest::qWaitForWindowExposed(window);
    }
    QQuickItem *item(const char *objectName) const
    {
        return findVisibleItem(window->contentItem(), QString::fromLatin1(objectName));
    }
    QString text(const char *objectName) const
    {
        QQuickItem *found = item(objectName);
        return found ? found->property("text").toString() : QString();
    }
    bool isShown(const char *objectName) const { return item(objectName) != nullptr; }
    // Frames caught mid-transition show travelling copies over their places on
    // purpose: such a render turns this off.
    bool checksLayout = true;

    // Saves what the window shows, and fails the test on every layout fault in it.
    void save(const QString &name) const
    {
        QTest::qWait(350); // past the sheet's and the push's transitions
        QVERIFY(window->grabWindow().save(QDir(SceneDriver::screensFolder()).filePath(name + QStringLiteral(".png"))));
        if (checksLayout)
            verifyLayout(name);
    }
    void verifyLayout(const QString &name) const;
};

// Data rows for a render test: each state in every look, with the columns
// "state" and "look" (an index into `looks`).
inline void addLookRows(std::initializer_list<const char *> states)
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<int>("look");
    for (const char *state : states) {
        for (int v = 0; v < int(std::size(looks)); ++v)
            QTest::addRow("%s-%s", state, looks[v].suffix) << QString::fromLatin1(state) << v;
    }
}

namespace detail {
inline bool showsOnScreen(const QQuickItem *item)
{
    for (; item; item = item->parentItem()) {
        if (!item->isVisible() || item->opacity() <= 0)
            return false;
    }
    return true;
}
// What of a rectangle in the scene is drawn for the item: cut by every clipping
// ancestor.
inline QRectF clippedByAncestors(const QQuickItem *item, QRectF rect)
{
    for (const QQuickItem *up = item->parentItem(); up; up = up->parentItem()) {
        if (up->clip())
            rect = rect.intersected(up->mapRectToScene(QRectF(0, 0, up->width(), up->height())));
    }
    return rect;
}
// The part of the item that is drawn: its box, cut by every clipping ancestor.
inline QRectF drawnRect(const QQuickItem *item)
{
    return clippedByAncestors(item, item->mapRectToScene(QRectF(0, 0, item->width(), item->height())));
}
inline bool isText(const QQuickItem *item)
{
    return item->inherits("QQuickText") && !item->property("text").toString().isEmpty();
}
// Every item on screen under `item` that is `wanted` and of which something is drawn.
template<typename Wanted> void collectDrawn(QQuickItem *item, QList<QQuickItem *> &found, const Wanted &wanted)
{
    if (!showsOnScreen(item))
        return;
    if (wanted(item) && !drawnRect(item).isEmpty())
        found.append(item);
    for (QQuickItem *child : item->childItems())
        collectDrawn(child, found, wanted);
}
inline void collectTexts(QQuickItem *item, QList<QQuickItem *> &texts)
{
    collectDrawn(item, texts, isText);
}
inline QList<QQuickItem *> drawnTexts(QQuickWindow *window)
{
    QList<QQuickItem *> texts;
    collectTexts(window->contentItem(), texts);
    return texts;
}
// The layer a text lies in: the popup (alert, sheet), the surface laid over the
// page at the window's top level (the player over home) or raised over its page
// (a toast), whichever holds it.
inline const QQuickItem *layerOf(const QQuickItem *item)
{
    for (; item && item->parentItem(); item = item->parentItem()) {
        if (item->parentItem()->inherits("QQuickOverlay") || !item->parentItem()->parentItem() || item->z() > 0)
            return item;
    }
    return nullptr;
}
// How a fault names a text: by what it says, or a symbol by the nearest named
// item it lies in.
inline QString describe(const QQuickItem *text)
{
    const QString said = text->property("text").toString();
    if (said.front().category() != QChar::Other_PrivateUse)
        return said;
    for (const QQuickItem *up = text; up; up = up->parentItem()) {
        if (!up->objectName().isEmpty())
            return QStringLiteral("a symbol in ") + up->objectName();
    }
    return QStringLiteral("a symbol");
}
// Where a text's ink lies, in its own coordinates: its box grown to its content as
// its alignment places it.
inline QRectF localInk(const QQuickItem *text)
{
    QRectF ink(0, 0, text->width(), text->height());
    const qreal dx = text->property("contentWidth").toReal() - text->width();
    const qreal dy = text->property("contentHeight").toReal() - text->height();
    const int align = text->property("horizontalAlignment").toInt() | text->property("verticalAlignment").toInt();
    if (dx > 0) {
        const qreal before = align & Qt::AlignRight ? dx : align & Qt::AlignHCenter ? dx / 2 : 0;
        ink.adjust(-before, 0, dx - before, 0);
    }
    if (dy > 0) {
        const qreal before = align & Qt::AlignBottom ? dy : align & Qt::AlignVCenter ? dy / 2 : 0;
        ink.adjust(0, -before, 0, dy - before);
    }
    return ink;
}
// What of a text's ink is drawn, in the scene: cut by every clipping ancestor.
inline QRectF inkRect(const QQuickItem *text)
{
    return clippedByAncestors(text, text->mapRectToScene(localInk(text)));
}
} // namespace detail

// The texts drawn in the window, as a person sees them.
inline QStringList shownTexts(QQuickWindow *window)
{
    const QList<QQuickItem *> texts = detail::drawnTexts(window);
    QStringList shown;
    for (QQuickItem *text : texts)
        shown.append(text->property("text").toString());
    return shown;
}

// Pairs of texts on screen whose drawn parts cross by more than the sliver
// antialiased edges may share, named by their texts: nothing may be drawn over
// anything. A popup lies over the page on purpose, so only texts of one layer are
// compared.
inline QStringList overlappingTexts(QQuickWindow *window)
{
    const QList<QQuickItem *> texts = detail::drawnTexts(window);
    QStringList found;
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QRectF a = detail::drawnRect(texts[i]);
        for (qsizetype j = i + 1; j < texts.size(); ++j) {
            // A text placed inside another (a symbol in a title's line) is laid out
            // by it on purpose.
            if (detail::layerOf(texts[i]) != detail::layerOf(texts[j]) || texts[i]->isAncestorOf(texts[j])
                || texts[j]->isAncestorOf(texts[i]))
                continue;
            const QRectF crossing = a.intersected(detail::drawnRect(texts[j]));
            if (crossing.width() > 2 && crossing.height() > 2)
                found.append(detail::describe(texts[i]) + QStringLiteral(" × ") + detail::describe(texts[j]));
        }
    }
    return found;
}

// Texts whose ink leaves their own box, sideways or downwards, and so runs into
// what lies beside or below them; ink a clip cuts off is not drawn.
inline QStringList overflowingTexts(QQuickWindow *window)
{
    const QList<QQuickItem *> texts = detail::drawnTexts(window);
    QStringList found;
    for (const QQuickItem *text : texts) {
        if (text->clip())
            continue;
        const QRectF box = detail::drawnRect(text);
        const QRectF ink = detail::inkRect(text);
        if (ink.left() < box.left() - 1 || ink.right() > box.right() + 1)
            found.append(detail::describe(text) + QStringLiteral(" wider than its box"));
        if (ink.top() < box.top() - 1 || ink.bottom() > box.bottom() + 1)
            found.append(detail::describe(text) + QStringLiteral(" taller than its box"));
    }
    return found;
}

namespace detail {
inline bool isControl(const QQuickItem *item)
{
    return item->inherits("QQuickAbstractButton") || item->inherits("QQuickTextInput");
}
inline QString describeShown(const QQuickItem *item)
{
    return isText(item) ? describe(item) : item->objectName();
}
// A list or any other view that scrolls may hide what lies past its edge: that part
// is a scroll away, not lost. So may an item that shows only what such a view
// shows (a travelling copy of a scrolled card's content).
inline bool scrolls(const QQuickItem *item)
{
    return item->inherits("QQuickFlickable") || item->property("showsScrolledArea").toBool();
}
// Where a text's ink or a control's box would be drawn, cut only by the views that
// scroll it.
inline QRectF scrolledIntoView(const QQuickItem *item)
{
    QRectF rect = item->mapRectToScene(isText(item) ? localInk(item) : QRectF(0, 0, item->width(), item->height()));
    for (const QQuickItem *up = item->parentItem(); up; up = up->parentItem()) {
        if (scrolls(up))
            rect = rect.intersected(up->mapRectToScene(QRectF(0, 0, up->width(), up->height())));
    }
    return rect;
}
inline bool spills(const QRectF &rect, const QRectF &bounds)
{
    return rect.left() < bounds.left() - 1 || rect.right() > bounds.right() + 1 || rect.top() < bounds.top() - 1
        || rect.bottom() > bounds.bottom() + 1;
}
} // namespace detail

// Texts and controls drawn past the window's left or right edge (below the fold a
// page scrolls, so only the sides count), and those that a clip cuts short: a
// sheet's, a card's, a button's or a text's own edge may not hide what it holds;
// only a view that scrolls may.
inline QStringList cutTextsAndControls(QQuickWindow *window)
{
    QList<QQuickItem *> shown;
    detail::collectDrawn(window->contentItem(), shown,
        [](const QQuickItem *item) { return detail::isText(item) || detail::isControl(item); });
    QStringList found;
    for (const QQuickItem *item : shown) {
        const QRectF rect = detail::scrolledIntoView(item);
        if (rect.isEmpty())
            continue;
        if (rect.left() < -0.5 || rect.right() > window->width() + 0.5)
            found.append(detail::describeShown(item) + QStringLiteral(" past the window's edge"));
        // A field scrolls its own text; a text box that clips holds its ink.
        const QQuickItem *clipper = detail::isText(item) && item->clip() ? item : item->parentItem();
        for (; clipper; clipper = clipper->parentItem()) {
            if (!clipper->clip() || detail::scrolls(clipper))
                continue;
            if (detail::spills(rect, clipper->mapRectToScene(QRectF(0, 0, clipper->width(), clipper->height())))) {
                found.append(detail::describeShown(item) + QStringLiteral(" cut by the edge of ")
                    + (clipper->objectName().isEmpty() ? QString::fromLatin1(clipper->metaObject()->className())
                                                       : clipper->objectName()));
                break;
            }
        }
    }
    return found;
}

// Texts cut short with an ellipsis although they may take as many lines as they
// need: only a text whose line count is limited may give up its end.
inline QStringList elidedWithoutLineLimit(QQuickWindow *window)
{
    const QList<QQuickItem *> texts = detail::drawnTexts(window);
    QStringList found;
    for (const QQuickItem *text : texts) {
        if (text->property("truncated").toBool() && text->property("maximumLineCount").toInt() == INT_MAX)
            found.append(detail::describe(text) + QStringLiteral(" cut short without a line limit"));
    }
    return found;
}

// Everything the layout checks find wrong with the window as drawn.
inline QStringList layoutFaults(QQuickWindow *window)
{
    return overlappingTexts(window) + overflowingTexts(window) + cutTextsAndControls(window) + elidedWithoutLineLimit(window);
}

// Fails the test with every layout fault of the window, named after what it shows.
inline void verifyLayout(QQuickWindow *window, const QString &name)
{
    const QStringList faults = layoutFaults(window);
    QVERIFY2(faults.isEmpty(), qPrintable(name + QStringLiteral(": ") + faults.join(QStringLiteral("; "))));
}

inline void Screen::verifyLayout(const QString &name) const
{
    scenetest::verifyLayout(window, name);
}

} // namespace scenetest
