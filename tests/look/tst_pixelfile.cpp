// Pictures compiled in as ready pixels: what the build step writes reads
// back pixel for pixel, a damaged file reads as no picture, and the windows'
// first-frame artwork is shown from its pixels, identical to its PNG.

#include "TestSupport.h"
#include "ui/ImageBox.h"
#include "ui/PixelFile.h"

#include <QImage>
#include <QResource>

#include <cstring>
#include <vector>

namespace {

QImage sample(int width, int height, bool alpha) {
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgba(x * 7 % 256, y * 13 % 256, (x + y) % 256, alpha ? (x * y) % 256 : 255));
    return image;
}

QImage decoded(const QImage& image) {
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

// A buffer that puts data at a chosen distance from a 16-byte boundary.
struct Placed {
    std::vector<uchar> storage;
    uchar* data;
    Placed(const QByteArray& bytes, int misalignment) : storage(std::size_t(bytes.size()) + 32) {
        auto address = reinterpret_cast<quintptr>(storage.data());
        data = storage.data() + ((16 - address % 16) % 16) + misalignment;
        std::memcpy(data, bytes.constData(), std::size_t(bytes.size()));
    }
};

} // namespace

class TestPixelFile : public QObject {
    Q_OBJECT

private slots:
    void readsBackWhatWasWritten_data();
    void readsBackWhatWasWritten();
    void damagedFileIsNoPicture_data();
    void damagedFileIsNoPicture();
    void firstFrameArtworkIsShownFromItsPixels_data();
    void firstFrameArtworkIsShownFromItsPixels();
};

void TestPixelFile::readsBackWhatWasWritten_data() {
    QTest::addColumn<QImage>("image");
    QTest::addColumn<int>("misalignment");
    QTest::newRow("translucent") << sample(37, 11, true) << 0;
    QTest::newRow("opaque") << sample(5, 9, false) << 0;
    QTest::newRow("one pixel") << sample(1, 1, true) << 0;
    QTest::newRow("indexed, converted") << sample(9, 4, false).convertToFormat(QImage::Format_Indexed8) << 0;
    // Resources are packed without regard to alignment.
    QTest::newRow("misaligned by 1") << sample(13, 7, true) << 1;
    QTest::newRow("misaligned by 2") << sample(13, 7, false) << 2;
}

void TestPixelFile::readsBackWhatWasWritten() {
    QFETCH(QImage, image);
    QFETCH(int, misalignment);
    const QByteArray file = encodePixelFile(image);
    const Placed placed(file, misalignment);
    const QImage read = imageOverPixelFile(placed.data, file.size());
    QCOMPARE(read, decoded(image));
    const bool shared = read.constBits() == placed.data + 16;
    // Aligned rows are used where they lie; others are copied, never read unaligned.
    QCOMPARE(shared, misalignment == 0);
}

void TestPixelFile::damagedFileIsNoPicture_data() {
    QTest::addColumn<QByteArray>("file");
    const QByteArray good = encodePixelFile(sample(4, 3, true));
    const auto patched = [&](int offset, quint32 value) {
        QByteArray file = good;
        std::memcpy(file.data() + offset, &value, sizeof value);
        return file;
    };
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("header cut short") << good.left(15);
    QTest::newRow("header only") << good.left(16);
    QTest::newRow("last pixel cut short") << good.chopped(1);
    QTest::newRow("a byte too many") << good + QByteArray(1, '\0');
    QTest::newRow("not a pixel file") << QByteArray("\x89PNG\r\n\x1a\n").append(good.mid(8));
    QTest::newRow("zero width") << patched(4, 0);
    QTest::newRow("zero height") << patched(8, 0);
    QTest::newRow("unsupported format") << patched(12, quint32(QImage::Format_Indexed8));
    QTest::newRow("format out of range") << patched(12, 0xFFFFFFFFu);
    // Sizes whose product wraps around in 32 bits must not meet the length.
    QTest::newRow("huge width") << patched(4, 0x40000001u);
    QTest::newRow("huge height") << patched(8, 0x40000000u);
}

void TestPixelFile::damagedFileIsNoPicture() {
    QFETCH(QByteArray, file);
    const Placed placed(file, 0);
    QVERIFY(imageOverPixelFile(placed.data, file.size()).isNull());
    QVERIFY(imageOverPixelFile(nullptr, 0).isNull());
}

void TestPixelFile::firstFrameArtworkIsShownFromItsPixels_data() {
    QTest::addColumn<QString>("source");
    QTest::newRow("panel card") << QStringLiteral(":/images/fundo.png");
    QTest::newRow("settings gear") << QStringLiteral(":/images/gear.png");
    QTest::newRow("dialog logo") << QStringLiteral(":/images/logo.png");
    QTest::newRow("panel card, 2x") << QStringLiteral(":/images/fundo@2x.png");
    QTest::newRow("settings gear, 2x") << QStringLiteral(":/images/gear@2x.png");
    QTest::newRow("dialog logo, 2x") << QStringLiteral(":/images/logo@2x.png");
}

void TestPixelFile::firstFrameArtworkIsShownFromItsPixels() {
    QFETCH(QString, source);
    const QResource pixels(source + QStringLiteral(".pixels"));
    QVERIFY2(pixels.isValid(), "the build compiles the artwork in as pixels");
    QCOMPARE(pixels.compressionAlgorithm(), QResource::NoCompression);
    // Drawn from the mapped artwork file itself: its rows are aligned there.
    const auto* data = reinterpret_cast<const uchar*>(pixels.data());
    QCOMPARE(imageOverPixelFile(data, pixels.size()).constBits(), data + 16);

    if (source.contains(QLatin1String("@2x"))) {
        // Shown on screens of twice the density only (tst_hidpi): here, its
        // pixels as they are (the reader marks an "@2x" file's image as 2x).
        QImage expected = decoded(QImage(source));
        QCOMPARE(expected.devicePixelRatio(), 2.0);
        expected.setDevicePixelRatio(1);
        QCOMPARE(imageOverPixelFile(data, pixels.size()), expected);
        return;
    }
    ImageBox box;
    box.setSource(source);
    const QImage shown = box.picture().toImage();
    // The same picture as its PNG: a stale or damaged pixel file shows here.
    QCOMPARE(shown, decoded(QImage(source)));
}

ORVANTO_TEST_MAIN(TestPixelFile)
#include "tst_pixelfile.moc"
