// The pictures the program ships, read from its resources: sizes, pixel
// format, and the alpha properties the windows rely on (the card's alpha is
// the panel's shape; titles and the settings button lie on plain white).

#include "TestSupport.h"

#include <QImage>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

// The card's outline and its opaque inside: rectangles with corners of
// quarter ellipses (left, top, right, bottom; widths of the left and right
// corners, their height), in pixels.
struct Rounded {
    double left, top, right, bottom, leftWidth, rightWidth, height;

    bool contains(double x, double y) const {
        if (x < left || x > right || y < top || y > bottom)
            return false;
        const double cx = std::clamp(x, left + leftWidth, right - rightWidth);
        const double cy = std::clamp(y, top + height, bottom - height);
        const double rx = x < cx ? leftWidth : rightWidth;
        return std::pow((x - cx) / rx, 2) + std::pow((y - cy) / height, 2) <= 1;
    }
    Rounded grown(double by) const {
        return {left - by, top - by, right + by, bottom + by, leftWidth + by, rightWidth + by, height + by};
    }
};
constexpr Rounded Outline{0, 2, 639, 581, 52.75, 53, 41};
constexpr Rounded Inside{1, 3, 638, 580, 57.5, 58, 40};

QImage load(const char* path) {
    QImage image(QString::fromLatin1(path));
    if (image.isNull())
        qFatal("cannot load %s", path);
    return image.convertToFormat(QImage::Format_ARGB32);
}

int alphaAt(const QImage& image, int x, int y) {
    return qAlpha(image.pixel(x, y));
}

bool isGrey(QRgb c, int tolerance) {
    return std::abs(qRed(c) - qGreen(c)) <= tolerance && std::abs(qGreen(c) - qBlue(c)) <= tolerance;
}

} // namespace

class TestArtwork : public QObject {
    Q_OBJECT

private slots:
    void picturesAreRgbaAtTheirSizes_data();
    void picturesAreRgbaAtTheirSizes();

    void cardBorderRowsAndColumnAreTransparent();
    void cardOutlineCounts_data();
    void cardOutlineCounts();
    void cardSidesAreStraightFromRow42To540();
    void cardTranslucencyOnlyAlongTheRoundedOutline();
    void cardInsideIsOpaque();
    void titlesAndSettingsButtonLieOnPlainWhite();
    void insetPanelShadesFromLightToDarkerGrey();

    void logoIsGreyAndRedWithHardAlpha();
    void gearIsGreyWithSoftEdges();
    void iconIsARoundedMark_data();
    void iconIsARoundedMark();
    void previewsAreOpaqueWindows_data();
    void previewsAreOpaqueWindows();
    void densePicturesAreTheSameDrawing_data();
    void densePicturesAreTheSameDrawing();

private:
    QImage m_card = load(":/images/fundo.png");
};

void TestArtwork::picturesAreRgbaAtTheirSizes_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    const struct {
        const char* path;
        int w, h;
    } pictures[] = {
        {"fundo.png", 640, 583},
        {"logo.png", 763, 209},
        {"gear.png", 15, 15},
        {"previews/imgAbcProdutos.png", 195, 142},
        {"previews/imgTendVendas.png", 285, 245},
        {"previews/imgVendaHoras.png", 293, 218},
        {"previews/imgMirendo.png", 217, 183},
        {"previews/imgAbcGrupo.png", 198, 146},
        {"previews/imgContaCaixa.png", 271, 202},
        {"previews/imgIndiceInadimplencia.png", 180, 129},
        {"previews/imgRentabilidade.png", 357, 225},
        {"previews/imgAbcVendedor.png", 202, 146},
        {"previews/imgContasPagar.png", 210, 171},
        {"previews/imgContasReceber.png", 202, 164},
        {"previews/imgFluxoCaixa.png", 232, 238},
        {"previews/imgPontoCritico.png", 268, 189},
        {"icon/orvanto-16.png", 16, 16},
        {"icon/orvanto-32.png", 32, 32},
        {"icon/orvanto-48.png", 48, 48},
        {"icon/orvanto-256.png", 256, 256},
    };
    for (const auto& p : pictures) {
        const QString path = QStringLiteral(":/images/%1").arg(QLatin1String(p.path));
        QTest::newRow(p.path) << path << p.w << p.h;
        // Its picture for screens of twice the density, at twice the size.
        QTest::addRow("%s@2x", p.path)
            << QString(path).replace(QLatin1String(".png"), QLatin1String("@2x.png")) << p.w * 2 << p.h * 2;
    }
}

void TestArtwork::picturesAreRgbaAtTheirSizes() {
    QFETCH(QString, path);
    QFETCH(int, width);
    QFETCH(int, height);
    // Read the header itself: the layout and the window shape depend on the
    // stored format, not on what a decoder makes of it.
    const QByteArray png = readFile(path);
    QVERIFY2(png.size() > 33, qPrintable(path));
    QCOMPARE(png.left(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    QCOMPARE(png.mid(12, 4), QByteArray("IHDR"));
    QCOMPARE(int(qFromBigEndian<quint32>(png.constData() + 16)), width);
    QCOMPARE(int(qFromBigEndian<quint32>(png.constData() + 20)), height);
    QCOMPARE(int(quint8(png.at(24))), 8); // bits per channel
    QCOMPARE(int(quint8(png.at(25))), 6); // colour type: RGB with alpha

    const QImage image(path);
    QCOMPARE(image.size(), QSize(width, height));
    QVERIFY(image.hasAlphaChannel());
}

void TestArtwork::cardBorderRowsAndColumnAreTransparent() {
    for (int y : {0, 1, 581, 582})
        for (int x = 0; x < m_card.width(); ++x)
            QVERIFY2(alphaAt(m_card, x, y) == 0, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
    for (int y = 0; y < m_card.height(); ++y)
        QVERIFY2(alphaAt(m_card, 639, y) == 0, qPrintable(QStringLiteral("(639, %1)").arg(y)));
}

void TestArtwork::cardOutlineCounts_data() {
    QTest::addColumn<int>("lowest");
    QTest::addColumn<int>("highest");
    QTest::addColumn<int>("pixels");
    // Of 640 x 583 = 373,120 pixels; the transparent ones give the panel its shape.
    QTest::newRow("fully transparent") << 0 << 0 << 4850;
    QTest::newRow("partly transparent") << 1 << 254 << 2891;
    QTest::newRow("opaque") << 255 << 255 << 365379;
}

void TestArtwork::cardOutlineCounts() {
    QFETCH(int, lowest);
    QFETCH(int, highest);
    QFETCH(int, pixels);
    int count = 0;
    for (int y = 0; y < m_card.height(); ++y)
        for (int x = 0; x < m_card.width(); ++x)
            if (const int a = alphaAt(m_card, x, y); a >= lowest && a <= highest)
                ++count;
    QCOMPARE(count, pixels);
}

void TestArtwork::cardSidesAreStraightFromRow42To540() {
    // The card reaches the picture's first column; its last column stays clear.
    const auto leftProfile = [&](int y) {
        return QList<int>{alphaAt(m_card, 0, y), alphaAt(m_card, 1, y), alphaAt(m_card, 2, y),
                          alphaAt(m_card, 3, y)};
    };
    const auto rightProfile = [&](int y) {
        return QList<int>{alphaAt(m_card, 638, y), alphaAt(m_card, 637, y), alphaAt(m_card, 636, y),
                          alphaAt(m_card, 635, y)};
    };
    const QList<int> left = leftProfile(290);
    QVERIFY(left.front() > 0 && left.front() < 255); // the translucent rim
    QCOMPARE(left.back(), 255);                      // opaque just inside
    QCOMPARE(rightProfile(290), left);
    for (int y = 42; y <= 540; ++y) {
        QCOMPARE(leftProfile(y), left);
        QCOMPARE(rightProfile(y), left);
    }
    // The rows just beyond already bend away, on both sides.
    for (int y : {41, 541}) {
        QVERIFY2(leftProfile(y) != left, qPrintable(QStringLiteral("row %1, left").arg(y)));
        QVERIFY2(rightProfile(y) != left, qPrintable(QStringLiteral("row %1, right").arg(y)));
    }
    // Beyond the straight part the corners curve away.
    for (const QPoint corner : {QPoint(0, 2), QPoint(638, 2), QPoint(0, 580), QPoint(638, 580), QPoint(5, 6)})
        QCOMPARE(alphaAt(m_card, corner.x(), corner.y()), 0);
}

void TestArtwork::cardTranslucencyOnlyAlongTheRoundedOutline() {
    // A pixel wholly inside the opaque inside is opaque; one whose centre lies
    // a pixel beyond the outline is transparent.
    const Rounded beyond = Outline.grown(1);
    int soft = 0;
    for (int y = 0; y < m_card.height(); ++y) {
        for (int x = 0; x < m_card.width(); ++x) {
            const int a = alphaAt(m_card, x, y);
            const QString where = QStringLiteral("(%1, %2) alpha %3").arg(x).arg(y).arg(a);
            if (Inside.contains(x, y) && Inside.contains(x + 1, y) && Inside.contains(x, y + 1) &&
                Inside.contains(x + 1, y + 1))
                QVERIFY2(a == 255, qPrintable(where));
            else if (!beyond.contains(x + 0.5, y + 0.5))
                QVERIFY2(a == 0, qPrintable(where));
            if (a > 0 && a < 255)
                ++soft;
        }
    }
    QVERIFY2(soft > 2000, qPrintable(QString::number(soft)));

    // Each corner is anti-aliased: a ramp of partial alphas, not a staircase.
    for (const QPoint origin : {QPoint(0, 0), QPoint(598, 0), QPoint(0, 541), QPoint(598, 541)}) {
        QSet<int> levels;
        for (int y = origin.y(); y < origin.y() + 42; ++y)
            for (int x = origin.x(); x < origin.x() + 42; ++x)
                if (const int a = alphaAt(m_card, x, y); a > 0 && a < 255)
                    levels.insert(a);
        QVERIFY2(levels.size() >= 8, qPrintable(QStringLiteral("corner at (%1, %2): %3 alpha levels")
                                                    .arg(origin.x())
                                                    .arg(origin.y())
                                                    .arg(levels.size())));
    }
}

void TestArtwork::cardInsideIsOpaque() {
    for (int y = 42; y <= 540; ++y)
        for (int x = 3; x <= 636; ++x)
            QVERIFY2(alphaAt(m_card, x, y) == 255, qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
    QCOMPARE(alphaAt(m_card, 320, 291), 255);
}

void TestArtwork::titlesAndSettingsButtonLieOnPlainWhite() {
    // The titles' and the button's text is grey on whatever the card shows there.
    for (const QRect area : {QRect(QPoint(51, 164), QPoint(360, 226)), QRect(478, 167, 109, 22)})
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                QVERIFY2(m_card.pixel(x, y) == 0xffffffffu,
                         qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
}

void TestArtwork::insetPanelShadesFromLightToDarkerGrey() {
    // Behind the top of the check list, and below the start button.
    const QRgb top = m_card.pixel(200, 264);
    const QRgb bottom = m_card.pixel(320, 540);
    QVERIFY(isGrey(top, 0) && isGrey(bottom, 0));
    QVERIFY2(std::abs(qRed(top) - 0xf1) <= 3, qPrintable(QString::number(qRed(top), 16)));
    QVERIFY2(std::abs(qRed(bottom) - 0xcf) <= 3, qPrintable(QString::number(qRed(bottom), 16)));
    // and it darkens steadily on the way down
    int previous = 256;
    for (int y = 264; y <= 540; y += 4) {
        const int level = qRed(m_card.pixel(50, y));
        QVERIFY2(level <= previous, qPrintable(QStringLiteral("row %1").arg(y)));
        previous = level;
    }
}

void TestArtwork::logoIsGreyAndRedWithHardAlpha() {
    const QImage logo = load(":/images/logo.png");
    int red = 0, grey = 0;
    for (int y = 0; y < logo.height(); ++y) {
        for (int x = 0; x < logo.width(); ++x) {
            const QRgb c = logo.pixel(x, y);
            QVERIFY2(qAlpha(c) == 0 || qAlpha(c) == 255,
                     qPrintable(QStringLiteral("(%1, %2) alpha %3").arg(x).arg(y).arg(qAlpha(c))));
            if (qAlpha(c) == 0)
                continue;
            if (qRed(c) > qGreen(c) + 80 && qRed(c) > qBlue(c) + 80)
                ++red;
            else if (isGrey(c, 6) && qRed(c) < 200)
                ++grey;
        }
    }
    // Both colours carry real weight, and the ground shows through around the mark.
    QVERIFY2(red > 5000 && grey > 5000, qPrintable(QStringLiteral("red %1, grey %2").arg(red).arg(grey)));
    QCOMPARE(qAlpha(logo.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(logo.pixel(762, 208)), 0);
}

void TestArtwork::gearIsGreyWithSoftEdges() {
    const QImage gear = load(":/images/gear.png");
    int soft = 0, solid = 0;
    for (int y = 0; y < gear.height(); ++y) {
        for (int x = 0; x < gear.width(); ++x) {
            const QRgb c = gear.pixel(x, y);
            if (qAlpha(c) == 0)
                continue;
            QVERIFY2(isGrey(c, 2), qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
            qAlpha(c) == 255 ? ++solid : ++soft;
        }
    }
    QVERIFY2(soft >= 16, qPrintable(QString::number(soft)));
    QVERIFY2(solid >= 40, qPrintable(QString::number(solid)));
    QCOMPARE(qAlpha(gear.pixel(0, 0)), 0); // corners of the square stay clear
    QCOMPARE(qAlpha(gear.pixel(7, 7)), 0); // the axle hole
}

void TestArtwork::iconIsARoundedMark_data() {
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 256})
        QTest::addRow("%d", size) << size;
}

void TestArtwork::iconIsARoundedMark() {
    QFETCH(int, size);
    const QImage icon = load(qPrintable(QStringLiteral(":/images/icon/orvanto-%1.png").arg(size)));
    // Rounded corners, a solid body, and a dark face with light letters on it.
    QVERIFY(qAlpha(icon.pixel(0, 0)) < 128);
    QVERIFY(qAlpha(icon.pixel(size - 1, 0)) < 128);
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);
    int dark = 0, light = 0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const QRgb c = icon.pixel(x, y);
            if (qAlpha(c) != 255)
                continue;
            if (qGray(c) < 0x60)
                ++dark;
            else if (qGray(c) > 0xe8)
                ++light;
        }
    }
    QVERIFY2(dark > size * size / 4, qPrintable(QString::number(dark)));
    QVERIFY2(light > size * size / 30, qPrintable(QString::number(light)));
}

void TestArtwork::previewsAreOpaqueWindows_data() {
    QTest::addColumn<QString>("name");
    for (const char* name : {"imgAbcProdutos", "imgTendVendas", "imgVendaHoras", "imgMirendo", "imgAbcGrupo",
                             "imgContaCaixa", "imgIndiceInadimplencia", "imgRentabilidade", "imgAbcVendedor",
                             "imgContasPagar", "imgContasReceber", "imgFluxoCaixa", "imgPontoCritico"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestArtwork::previewsAreOpaqueWindows() {
    QFETCH(QString, name);
    const QImage preview = load(qPrintable(QStringLiteral(":/images/previews/%1.png").arg(name)));
    // Only the window's rounded corners may let the preview area show through.
    const int corner = std::max(preview.width(), preview.height()) / 30 + 3;
    for (int y = 0; y < preview.height(); ++y) {
        for (int x = 0; x < preview.width(); ++x) {
            const bool nearCornerX = x < corner || x >= preview.width() - corner;
            const bool nearCornerY = y < corner || y >= preview.height() - corner;
            if (nearCornerX && nearCornerY)
                continue;
            QVERIFY2(qAlpha(preview.pixel(x, y)) == 255,
                     qPrintable(QStringLiteral("(%1, %2)").arg(x).arg(y)));
        }
    }
    // A dark title bar above a light body.
    QVERIFY(qGray(preview.pixel(preview.width() / 2, 3)) < 0x70);
    QVERIFY(qGray(preview.pixel(preview.width() / 2, preview.height() - 3)) > 0xd8);
}

void TestArtwork::densePicturesAreTheSameDrawing_data() {
    QTest::addColumn<QString>("path");
    // (Not the 16-pixel icon: its letters are hinted to each grid, so they differ by design.)
    for (const char* path :
         {"fundo", "logo", "gear", "icon/orvanto-32", "icon/orvanto-256", "previews/imgAbcProdutos",
          "previews/imgRentabilidade", "previews/imgIndiceInadimplencia"})
        QTest::newRow(path) << QStringLiteral(":/images/%1").arg(QLatin1String(path));
}

void TestArtwork::densePicturesAreTheSameDrawing() {
    QFETCH(QString, path);
    // Each 2x picture, every square of four pixels averaged, is its 1x picture
    // up to the finer edges: nothing moved, resized or recoloured.
    const QImage plain = load(qPrintable(path + QStringLiteral(".png")));
    const QImage dense = load(qPrintable(path + QStringLiteral("@2x.png")));
    QCOMPARE(dense.size(), plain.size() * 2);
    qint64 total = 0;
    int far = 0;
    for (int y = 0; y < plain.height(); ++y) {
        for (int x = 0; x < plain.width(); ++x) {
            int worst = 0;
            // Premultiplied channels (shifts of red, green, blue and alpha): a
            // transparent pixel's colour counts for nothing.
            const auto premultiplied = [](QRgb c, int shift) {
                const int value = int(c >> shift) & 0xff;
                return shift == 24 ? value : value * qAlpha(c) / 255;
            };
            for (const int shift : {16, 8, 0, 24}) {
                const int average = (premultiplied(dense.pixel(2 * x, 2 * y), shift) +
                                     premultiplied(dense.pixel(2 * x + 1, 2 * y), shift) +
                                     premultiplied(dense.pixel(2 * x, 2 * y + 1), shift) +
                                     premultiplied(dense.pixel(2 * x + 1, 2 * y + 1), shift)) /
                                    4;
                worst = std::max(worst, std::abs(average - premultiplied(plain.pixel(x, y), shift)));
            }
            total += worst;
            if (worst > 128)
                ++far;
        }
    }
    const double mean = double(total) / (plain.width() * plain.height());
    QVERIFY2(mean < 6, qPrintable(QStringLiteral("mean difference %1").arg(mean)));
    QVERIFY2(far < plain.width() * plain.height() / 100,
             qPrintable(QStringLiteral("%1 pixels far off").arg(far)));
}

ORVANTO_TEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
