#include "TestRegistry.h"

#include "DesignSystem/PaintedShapes.h"

#include <QPainter>
#include <QTest>

#include <vector>

using namespace talvoro;

namespace {

// The shadow as it would look blurred at its full size: the shape's coverage,
// then three passes of a box blur along rows and columns, summed pixel by pixel.
QImage blurredAtFullSize(QSize shape, qreal cornerRadius, int half, int spread)
{
    QImage alpha(shape + QSize(2 * spread, 2 * spread), QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter p(&alpha);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRoundedRect(QRectF(QPointF(spread, spread), QSizeF(shape)), cornerRadius, cornerRadius);
    }
    auto pass = [&](bool horizontal) {
        const QImage source = alpha.copy();
        for (int y = 0; y < alpha.height(); ++y) {
            for (int x = 0; x < alpha.width(); ++x) {
                int sum = 0;
                for (int d = -half; d <= half; ++d) {
                    const int sx = horizontal ? x + d : x;
                    const int sy = horizontal ? y : y + d;
                    if (sx >= 0 && sy >= 0 && sx < alpha.width() && sy < alpha.height())
                        sum += source.constScanLine(sy)[sx];
                }
                alpha.scanLine(y)[x] = uchar(sum / (2 * half + 1));
            }
        }
    };
    for (int i = 0; i < 3 && half > 0; ++i) {
        pass(true);
        pass(false);
    }
    return alpha;
}

} // namespace

class ShadowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Stretching the patch's middle must give what blurring the whole shape gives:
    // a seam, a misplaced corner or a middle that still holds a corner's curve
    // shows as a difference. Large shapes stretch; small ones get a patch of their own.
    void theStretchedPatchMatchesABlurOfTheWholeShape_data()
    {
        QTest::addColumn<QSize>("shape");
        QTest::addColumn<qreal>("radius");
        QTest::addColumn<qreal>("cornerRadius");

        QTest::newRow("card") << QSize(358, 96) << 6.0 << 12.0;
        QTest::newRow("wide button") << QSize(300, 50) << 10.0 << 12.0;
        QTest::newRow("capsule smaller than the patch") << QSize(120, 36) << 6.0 << 18.0;
        QTest::newRow("square corners, tall") << QSize(24, 300) << 4.0 << 0.0;
        QTest::newRow("no blur") << QSize(200, 80) << 0.0 << 12.0;
    }
    void theStretchedPatchMatchesABlurOfTheWholeShape()
    {
        QFETCH(QSize, shape);
        QFETCH(qreal, radius);
        QFETCH(qreal, cornerRadius);

        const ShadowPatch patch = shadowPatch(QColor(0, 0, 0, 255), radius, cornerRadius, QSizeF(shape));
        const int spread = int(patch.spread);
        const QRectF target(QPointF(0, 0), QSizeF(shape + QSize(2 * spread, 2 * spread)));
        QImage drawn(target.size().toSize(), QImage::Format_ARGB32_Premultiplied);
        drawn.fill(Qt::transparent);
        {
            QPainter p(&drawn);
            for (const PatchPiece &piece : ninePatchPieces(patch, target))
                p.drawImage(piece.target, patch.image, piece.source);
        }
        const QImage expected = blurredAtFullSize(shape, cornerRadius, spread / 3, spread);

        QCOMPARE(drawn.size(), expected.size());
        int worst = 0;
        QPoint worstAt;
        for (int y = 0; y < drawn.height(); ++y) {
            for (int x = 0; x < drawn.width(); ++x) {
                const int difference = std::abs(qAlpha(drawn.pixel(x, y)) - expected.constScanLine(y)[x]);
                if (difference > worst) {
                    worst = difference;
                    worstAt = QPoint(x, y);
                }
            }
        }
        QVERIFY2(worst <= 2, qPrintable(QStringLiteral("alpha differs by %1 at (%2, %3)")
                                            .arg(worst)
                                            .arg(worstAt.x())
                                            .arg(worstAt.y())));
    }

    // The patch of a large shape does not depend on its size: every card shares one.
    void largeShapesShareOnePatch()
    {
        const ShadowPatch card = shadowPatch(Qt::black, 6, 12, QSizeF(358, 96));
        const ShadowPatch wider = shadowPatch(Qt::black, 6, 12, QSizeF(720, 400));
        QCOMPARE(card.image.cacheKey(), wider.image.cacheKey());
        QVERIFY(card.image.width() < 100);
    }
};

TALVORO_TEST(ShadowTest)
#include "tst_shadow.moc"
