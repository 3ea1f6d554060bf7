#include "DesignSystem/PaintedShapes.h"

#include "DesignSystem/Theme.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

#include <cmath>
#include <vector>

namespace talvoro {

namespace {

// One pass of a box blur of half-width `r` over the alpha image, along rows or columns.
void boxBlur(QImage &alpha, int r, bool horizontal)
{
    const int w = alpha.width();
    const int h = alpha.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    std::vector<int> line(static_cast<std::size_t>(length));
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> uchar & { return horizontal ? alpha.scanLine(l)[i] : alpha.scanLine(i)[l]; };
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = at(i);
        int sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < length) ? line[std::size_t(i)] : 0;
        for (int i = 0; i < length; ++i) {
            at(i) = uchar(sum / (2 * r + 1));
            const int out = i - r;
            const int in = i + r + 1;
            sum -= (out >= 0) ? line[std::size_t(out)] : 0;
            sum += (in < length) ? line[std::size_t(in)] : 0;
        }
    }
}

} // namespace

ORVShadow::ORVShadow(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setZ(-1);
    connect(this, &ORVShadow::changed, this, &ORVShadow::followParent);
    followParent();
}

void ORVShadow::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    invalidate();
}

void ORVShadow::setRadius(qreal radius)
{
    if (m_radius == radius)
        return;
    m_radius = qMax<qreal>(0, radius);
    invalidate();
}

void ORVShadow::setCornerRadius(qreal radius)
{
    if (m_cornerRadius == radius)
        return;
    m_cornerRadius = radius;
    invalidate();
}

void ORVShadow::setOffsetX(qreal offset)
{
    if (m_offsetX == offset)
        return;
    m_offsetX = offset;
    invalidate();
}

void ORVShadow::setOffsetY(qreal offset)
{
    if (m_offsetY == offset)
        return;
    m_offsetY = offset;
    invalidate();
}

qreal ORVShadow::padding() const
{
    return std::ceil(m_radius + qMax(std::abs(m_offsetX), std::abs(m_offsetY)));
}

void ORVShadow::itemChange(ItemChange change, const ItemChangeData &data)
{
    if (change == ItemParentHasChanged) {
        disconnect(m_widthConnection);
        disconnect(m_heightConnection);
        if (data.item) {
            m_widthConnection = connect(data.item, &QQuickItem::widthChanged, this, &ORVShadow::followParent);
            m_heightConnection = connect(data.item, &QQuickItem::heightChanged, this, &ORVShadow::followParent);
        }
        followParent();
    }
    QQuickPaintedItem::itemChange(change, data);
}

void ORVShadow::followParent()
{
    QQuickItem *shape = parentItem();
    if (!shape)
        return;
    const qreal pad = padding();
    setPosition(QPointF(-pad, -pad));
    setSize(QSizeF(shape->width() + 2 * pad, shape->height() + 2 * pad));
    m_cache = {};
    update();
}

void ORVShadow::invalidate()
{
    m_cache = {};
    Q_EMIT changed();
}

void ORVShadow::paint(QPainter *painter)
{
    if (m_color.alpha() == 0 || width() < 1 || height() < 1)
        return;
    const QSize size(qCeil(width()), qCeil(height()));
    if (m_cache.size() != size) {
        const qreal pad = padding();
        QImage alpha(size, QImage::Format_Alpha8);
        alpha.fill(0);
        {
            QPainter p(&alpha);
            p.setRenderHint(QPainter::Antialiasing);
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            const QRectF shape(pad + m_offsetX, pad + m_offsetY, width() - 2 * pad, height() - 2 * pad);
            p.drawRoundedRect(shape, m_cornerRadius, m_cornerRadius);
        }
        // Three box passes come close to a Gaussian of sigma radius / 2.
        const qreal sigma = m_radius / 2;
        const int half = qMax(0, qRound((std::sqrt(4 * sigma * sigma + 1) - 1) / 2));
        if (half > 0) {
            for (int pass = 0; pass < 3; ++pass) {
                boxBlur(alpha, half, true);
                boxBlur(alpha, half, false);
            }
        }
        m_cache = QImage(size, QImage::Format_ARGB32_Premultiplied);
        const QRgb rgb = m_color.rgb();
        const int baseAlpha = m_color.alpha();
        for (int y = 0; y < size.height(); ++y) {
            const uchar *in = alpha.constScanLine(y);
            auto *out = reinterpret_cast<QRgb *>(m_cache.scanLine(y));
            for (int x = 0; x < size.width(); ++x)
                out[x] = qPremultiply(qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), in[x] * baseAlpha / 255));
        }
    }
    painter->drawImage(QPointF(0, 0), m_cache);
}

ORVShimmerShape::ORVShimmerShape(QQuickItem *parent)
    : QQuickPaintedItem(parent)
{
    setAntialiasing(true);
    connect(this, &ORVShimmerShape::changed, this, [this] { update(); });
}

void ORVShimmerShape::setTheme(Theme *theme)
{
    if (m_theme == theme)
        return;
    if (m_theme)
        disconnect(m_theme, nullptr, this, nullptr);
    m_theme = theme;
    if (m_theme)
        connect(m_theme, &Theme::traitsChanged, this, [this] { update(); });
    Q_EMIT changed();
}

void ORVShimmerShape::paint(QPainter *painter)
{
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    if (m_sweeping && m_theme && m_frame && m_frame->width() > 0) {
        const Theme *theme = m_theme;
        const qreal frameWidth = m_frame->width();
        const qreal frameX = mapToItem(m_frame, QPointF(0, 0)).x();
        QLinearGradient gradient(
            QPointF(m_phase * frameWidth - frameX, 0), QPointF((m_phase + 1.2) * frameWidth - frameX, 0));
        gradient.setColorAt(0, theme->shimmerBase());
        gradient.setColorAt(0.45, theme->shimmerGlow());
        gradient.setColorAt(0.5, theme->shimmerHighlight());
        gradient.setColorAt(0.55, theme->shimmerGlow());
        gradient.setColorAt(1, theme->shimmerBase());
        painter->setBrush(gradient);
    } else {
        painter->setBrush(m_color);
    }
    painter->drawRoundedRect(boundingRect(), m_cornerRadius, m_cornerRadius);
}

} // namespace talvoro
