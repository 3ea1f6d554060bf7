#pragma once

#include "DesignSystem/Theme.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QQuickPaintedItem>

namespace talvoro {

// A rounded rectangle's soft shadow as a nine-patch: an image of its corners and
// a short stretch of each edge, blurred once, whose middle row and column stretch
// over any larger shape. `inset` is the size of each corner piece in the image
// and `spread` how far the shadow reaches beyond the shape.
struct ShadowPatch {
    QImage image;
    QSize inset;
    qreal spread = 0;
};

// The patch for `color` blurred by `radius` around a shape with `cornerRadius`,
// for a shape of `shapeSize` (any size beyond the patch's own gives the same one,
// kept for every later shadow of the same look).
ShadowPatch shadowPatch(const QColor &color, qreal radius, qreal cornerRadius, QSizeF shapeSize);

// The nine pieces that lay `patch` over `target`, row by row: where each comes
// from in the image and where it goes. Empty pieces are left out.
struct PatchPiece {
    QRectF source;
    QRectF target;
};
QList<PatchPiece> ninePatchPieces(const ShadowPatch &patch, const QRectF &target);

// A soft drop shadow: shader effects do not run in the software renderer, and a
// blur painted at the shape's full size costs the CPU every time a card is laid
// out, so the shadow is a small blurred nine-patch stretched by the scene graph.
// Place it as a child of the shape that casts it, with z below 0; it sizes itself
// around its parent, grown by `padding` on every side.
class ORVShadow : public QQuickItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY changed)
    Q_PROPERTY(qreal radius READ radius WRITE setRadius NOTIFY changed)
    Q_PROPERTY(qreal cornerRadius READ cornerRadius WRITE setCornerRadius NOTIFY changed)
    Q_PROPERTY(qreal offsetX READ offsetX WRITE setOffsetX NOTIFY changed)
    Q_PROPERTY(qreal offsetY READ offsetY WRITE setOffsetY NOTIFY changed)
    Q_PROPERTY(qreal padding READ padding NOTIFY changed)

public:
    explicit ORVShadow(QQuickItem *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    qreal radius() const { return m_radius; }
    void setRadius(qreal radius);
    qreal cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(qreal radius);
    qreal offsetX() const { return m_offsetX; }
    void setOffsetX(qreal offset);
    qreal offsetY() const { return m_offsetY; }
    void setOffsetY(qreal offset);
    qreal padding() const;

Q_SIGNALS:
    void changed();

protected:
    void itemChange(ItemChange change, const ItemChangeData &data) override;
    QSGNode *updatePaintNode(QSGNode *node, UpdatePaintNodeData *) override;

private:
    void followParent();

    QColor m_color = Qt::transparent;
    qreal m_radius = 0;
    qreal m_cornerRadius = 0;
    qreal m_offsetX = 0;
    qreal m_offsetY = 0;
    QMetaObject::Connection m_widthConnection;
    QMetaObject::Connection m_heightConnection;
};

// A placeholder shape under the shimmer: its own colour when still, else the part
// of the sweeping gradient that falls on it. The gradient spans `frame` (the
// shimmer's bounds) from `phase` to `phase` + 1.2 of its width, in the shimmer
// colours of `theme` (set from QML: `theme: Theme`); without one it stays still.
class ORVShimmerShape : public QQuickPaintedItem {
    Q_OBJECT
    QML_ELEMENT
    Q_PROPERTY(QColor color MEMBER m_color NOTIFY changed)
    Q_PROPERTY(qreal cornerRadius MEMBER m_cornerRadius NOTIFY changed)
    Q_PROPERTY(bool sweeping MEMBER m_sweeping NOTIFY changed)
    Q_PROPERTY(qreal phase MEMBER m_phase NOTIFY changed)
    Q_PROPERTY(QQuickItem *frame MEMBER m_frame NOTIFY changed)
    Q_PROPERTY(talvoro::Theme *theme READ theme WRITE setTheme NOTIFY changed)

public:
    explicit ORVShimmerShape(QQuickItem *parent = nullptr);
    void paint(QPainter *painter) override;
    Theme *theme() const { return m_theme; }
    void setTheme(Theme *theme);

Q_SIGNALS:
    void changed();

private:
    QColor m_color;
    qreal m_cornerRadius = 0;
    bool m_sweeping = false;
    qreal m_phase = -1;
    QPointer<QQuickItem> m_frame;
    QPointer<Theme> m_theme;
};

} // namespace talvoro
