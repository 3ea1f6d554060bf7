#include "TestRegistry.h"

#include "DesignSystem/IconCatalog.h"

#include <QFile>
#include <QRawFont>
#include <QTest>
#include <QtEndian>

using namespace talvoro;

namespace {

QByteArray bundledFont()
{
    QFile file(QStringLiteral(":/Talvoro/fonts/MaterialIcons-Regular.ttf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The font with the naming table's offset in the table directory pointing past the end.
QByteArray withNameTableOutside(QByteArray font)
{
    const quint16 tables = qFromBigEndian<quint16>(font.constData() + 4);
    for (quint16 i = 0; i < tables; ++i) {
        char *record = font.data() + 12 + 16 * i;
        if (qstrncmp(record, "name", 4) == 0)
            qToBigEndian<quint32>(quint32(font.size() - 4), record + 8);
    }
    return font;
}

} // namespace

class IconFontTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A font that cannot be renamed safely comes back as it was, and never is read
    // beyond its end.
    void aFontIsRenamedOnlyWhenItSafelyCanBe_data()
    {
        QTest::addColumn<QByteArray>("font");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("family");

        const QByteArray font = bundledFont();
        QVERIFY(!font.isEmpty());
        QTest::newRow("renamed") << font << QStringLiteral("Talvoro Glyphs") << QStringLiteral("Talvoro Glyphs");
        QTest::newRow("a longer name") << font << QStringLiteral("Talvoro Glyphs 2") << QStringLiteral("Material Icons");
        QTest::newRow("naming table outside the file")
            << withNameTableOutside(font) << QStringLiteral("Talvoro Glyphs") << QString();
        QTest::newRow("cut short") << font.left(200) << QStringLiteral("Talvoro Glyphs") << QString();
        QTest::newRow("not a font") << QByteArray("name") << QStringLiteral("Talvoro Glyphs") << QString();
    }
    void aFontIsRenamedOnlyWhenItSafelyCanBe()
    {
        QFETCH(QByteArray, font);
        QFETCH(QString, to);
        QFETCH(QString, family);

        const QByteArray renamed = withFamilyRenamed(font, u"Material Icons", to);
        QCOMPARE(renamed.size(), font.size());
        QCOMPARE(renamed == font, family != to);
        if (!family.isEmpty())
            QCOMPARE(QRawFont(renamed, 20).familyName(), family);
    }
};

TALVORO_TEST(IconFontTest)
#include "tst_iconfont.moc"
