#pragma once

#include "DesignSystem/Theme.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QQuickPaintedItem>

namespace talvoro {

// A soft drop shadow drawn by hand: shader effects do not run in the software
// renderer. Place it as a child of the shape that casts it, with z below 0; it
// sizes itself around its parent, grown by `padding` on every side.
class ORVShadow : public QQuickPaintedItem {
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

    void paint(QPainter *painter) override;

Q_SIGNALS:
    void changed();

protected:
    void itemChange(ItemChange change, const ItemChangeData &data) override;

private:
    void followParent();
    void invalidate();

    QColor m_color = Qt::transparent;
    qreal m_radius = 0;
    qreal m_cornerRadius = 0;
    qreal m_offsetX = 0;
    qreal m_offsetY = 0;
    QImage m_cache;
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
