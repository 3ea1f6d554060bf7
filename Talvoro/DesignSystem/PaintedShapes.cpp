#include "DesignSystem/PaintedShapes.h"

#include "DesignSystem/Theme.h"

#include <QLinearGradient>
#include <QMutex>
#include <QPainter>
#include <QPainterPath>
#include <QQuickWindow>
#include <QSGImageNode>
#include <QSGTexture>
#include <QtMath>

#include <cmath>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

namespace talvoro {

namespace {

// One pass of a box blur of half-width `r` over an alpha image, along rows or columns.
void boxBlur(QImage &alpha, int r, bool horizontal)
{
    const int w = alpha.width();
    const int h = alpha.height();
    const qsizetype stride = alpha.bytesPerLine();
    uchar *const bits = alpha.bits();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const qsizetype along = horizontal ? 1 : stride;
    std::vector<int> line(static_cast<std::size_t>(length));
    for (int l = 0; l < lines; ++l) {
        uchar *const start = bits + (horizontal ? l * stride : l);
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = start[i * along];
        int sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < length) ? line[std::size_t(i)] : 0;
        for (int i = 0; i < length; ++i) {
            start[i * along] = uchar(sum / (2 * r + 1));
            const int out = i - r;
            const int in = i + r + 1;
            sum -= (out >= 0) ? line[std::size_t(out)] : 0;
            sum += (in < length) ? line[std::size_t(in)] : 0;
        }
    }
}

// Three box passes of this half-width come close to a Gaussian of sigma radius / 2.
int boxHalfWidth(qreal radius)
{
    const qreal sigma = radius / 2;
    return qMax(0, qRound((std::sqrt(4 * sigma * sigma + 1) - 1) / 2));
}

ShadowPatch makeShadowPatch(QRgb color, qreal radius, qreal cornerRadius, QSize shape, int spread)
{
    const QSize size = shape + QSize(2 * spread, 2 * spread);
    QImage alpha(size, QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter p(&alpha);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(QPointF(spread, spread), QSizeF(shape)), cornerRadius, cornerRadius);
    }
    if (const int half = boxHalfWidth(radius); half > 0) {
        for (int pass = 0; pass < 3; ++pass) {
            boxBlur(alpha, half, true);
            boxBlur(alpha, half, false);
        }
    }
    ShadowPatch patch;
    patch.image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    const int baseAlpha = qAlpha(color);
    for (int y = 0; y < size.height(); ++y) {
        const uchar *in = alpha.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(patch.image.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            out[x] = qPremultiply(qRgba(qRed(color), qGreen(color), qBlue(color), in[x] * baseAlpha / 255));
    }
    patch.inset = QSize((size.width() - 1) / 2, (size.height() - 1) / 2);
    patch.spread = spread;
    return patch;
}

// The scene graph's texture of one shadow and the nine pieces drawn from it.
class ShadowNode final : public QSGNode {
public:
    std::unique_ptr<QSGTexture> texture;
    qint64 imageKey = 0;
};

} // namespace

ShadowPatch shadowPatch(const QColor &color, qreal radius, qreal cornerRadius, QSizeF shapeSize)
{
    const int spread = 3 * boxHalfWidth(qMax<qreal>(0, radius));
    const int corner = qCeil(qMax<qreal>(0, cornerRadius));
    // The middle row and column lie a blur's reach beyond the corners' arcs, where
    // the blur sees nothing but a straight edge: stretching them is exact.
    const int full = 2 * (spread + corner) + 1;
    const QSize shape(qBound(1, qCeil(shapeSize.width()), full), qBound(1, qCeil(shapeSize.height()), full));

    // Cards, fields and buttons share a handful of looks; the render thread of any
    // window may ask, so the patches are kept under a lock. Odd sizes of small
    // shapes add entries, so the store starts over once it grows.
    using Key = std::tuple<QRgb, qreal, qreal, int, int>;
    static QMutex mutex;
    static std::map<Key, ShadowPatch> patches;
    const Key key(color.rgba(), radius, cornerRadius, shape.width(), shape.height());
    const QMutexLocker lock(&mutex);
    if (const auto found = patches.find(key); found != patches.end())
        return found->second;
    if (patches.size() >= 64)
        patches.clear();
    return patches.emplace(key, makeShadowPatch(color.rgba(), radius, cornerRadius, shape, spread)).first->second;
}

QList<PatchPiece> ninePatchPieces(const ShadowPatch &patch, const QRectF &target)
{
    const qreal width = patch.image.width();
    const qreal height = patch.image.height();
    const qreal ix = patch.inset.width();
    const qreal iy = patch.inset.height();
    const qreal sx[] = {0, ix, width - ix, width};
    const qreal sy[] = {0, iy, height - iy, height};
    const qreal tx[] = {target.left(), target.left() + ix, target.right() - ix, target.right()};
    const qreal ty[] = {target.top(), target.top() + iy, target.bottom() - iy, target.bottom()};
    QList<PatchPiece> pieces;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            const QRectF to(QPointF(tx[column], ty[row]), QPointF(tx[column + 1], ty[row + 1]));
            if (to.width() > 0 && to.height() > 0)
                pieces.append({QRectF(QPointF(sx[column], sy[row]), QPointF(sx[column + 1], sy[row + 1])), to});
        }
    }
    return pieces;
}

ORVShadow::ORVShadow(QQuickItem *parent)
    : QQuickItem(parent)
{
    setFlag(ItemHasContents);
    setZ(-1);
    connect(this, &ORVShadow::changed, this, &ORVShadow::followParent);
    followParent();
}

void ORVShadow::setColor(const QColor &color)
{
    if (m_color == color)
        return;
    m_color = color;
    Q_EMIT changed();
}

void ORVShadow::setRadius(qreal radius)
{
    if (m_radius == radius)
        return;
    m_radius = qMax<qreal>(0, radius);
    Q_EMIT changed();
}

void ORVShadow::setCornerRadius(qreal radius)
{
    if (m_cornerRadius == radius)
        return;
    m_cornerRadius = radius;
    Q_EMIT changed();
}

void ORVShadow::setOffsetX(qreal offset)
{
    if (m_offsetX == offset)
        return;
    m_offsetX = offset;
    Q_EMIT changed();
}

void ORVShadow::setOffsetY(qreal offset)
{
    if (m_offsetY == offset)
        return;
    m_offsetY = offset;
    Q_EMIT changed();
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
    QQuickItem::itemChange(change, data);
}

void ORVShadow::followParent()
{
    QQuickItem *shape = parentItem();
    if (!shape)
        return;
    const qreal pad = padding();
    setPosition(QPointF(-pad, -pad));
    setSize(QSizeF(shape->width() + 2 * pad, shape->height() + 2 * pad));
    update();
}

QSGNode *ORVShadow::updatePaintNode(QSGNode *oldNode, UpdatePaintNodeData *)
{
    auto *node = static_cast<ShadowNode *>(oldNode);
    const qreal pad = padding();
    const QSizeF shape(width() - 2 * pad, height() - 2 * pad);
    if (m_color.alpha() == 0 || shape.width() <= 0 || shape.height() <= 0) {
        delete node;
        return nullptr;
    }
    const ShadowPatch patch = shadowPatch(m_color, m_radius, m_cornerRadius, shape);
    if (!node)
        node = new ShadowNode;
    if (!node->texture || node->imageKey != patch.image.cacheKey()) {
        node->texture.reset(window()->createTextureFromImage(patch.image));
        node->imageKey = patch.image.cacheKey();
    }
    const QRectF target = QRectF(QPointF(pad + m_offsetX, pad + m_offsetY), shape)
                              .adjusted(-patch.spread, -patch.spread, patch.spread, patch.spread);
    QSGNode *child = node->firstChild();
    for (const PatchPiece &piece : ninePatchPieces(patch, target)) {
        auto *image = static_cast<QSGImageNode *>(child);
        if (!image) {
            image = window()->createImageNode();
            image->setFiltering(QSGTexture::Linear);
            node->appendChildNode(image);
        }
        image->setTexture(node->texture.get());
        image->setSourceRect(piece.source);
        image->setRect(piece.target);
        child = image->nextSibling();
    }
    while (child) {
        QSGNode *next = child->nextSibling();
        node->removeChildNode(child);
        delete child;
        child = next;
    }
    return node;
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
