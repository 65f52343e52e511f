// The windows on a screen of twice the density (device pixel ratio 2, what
// QT_SCALE_FACTOR=2 or a 200 % desktop gives): every piece of artwork is
// drawn from its 2x picture, device pixel for device pixel, not from the 1x
// picture enlarged; and the panel's shape, in device-independent pixels, is
// the one the 2x picture's alpha gives.

#include "LookSupport.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "config_dialog/TfrmConfig.h"
#include "database/Alias.h"
#include "panel/GadgetCatalogue.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "settings/Settings.h"
#include "ui/ImageBox.h"
#include "ui/WindowShape.h"

#include <QCheckBox>
#include <QPainter>
#include <QScrollArea>

#include <memory>

namespace {

// The window as it would look with box showing picture instead of its own:
// the window drawn without the box, the picture painted where the box puts its own.
QImage drawnWith(QWidget* window, ImageBox* box, const QPixmap& picture) {
    box->hide();
    QImage image = window->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    box->show();
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, box->fit());
    painter.drawPixmap(box->pictureRect().translated(box->mapTo(window, QPoint(0, 0))), picture);
    painter.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

// Device pixels of area (device-independent, in the window) where two
// drawings of it differ by more than a rounding.
int differingPixels(const QImage& a, const QImage& b, QRect area) {
    const qreal ratio = a.devicePixelRatio();
    const QRect pixels(area.topLeft() * ratio, area.size() * ratio);
    int count = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y)
        for (int x = pixels.left(); x <= pixels.right(); ++x)
            if (distance(QColor::fromRgba(a.pixel(x, y)), QColor::fromRgba(b.pixel(x, y))) > 2)
                ++count;
    return count;
}

QPixmap picture(const QString& path) {
    QPixmap pixmap(path);
    if (pixmap.isNull())
        qFatal("cannot load %s", qPrintable(path));
    return pixmap;
}

// The box's 2x picture: shown from it, it is the window's drawing exactly; the
// 1x picture enlarged would give a visibly different one.
void checkDrawnFromDensePicture(QWidget* window, ImageBox* box, const QString& source, QRect area) {
    const QPixmap dense = picture(QString(source).replace(QLatin1String(".png"), QLatin1String("@2x.png")));
    const QPixmap plain = picture(source);
    QCOMPARE(dense.devicePixelRatio(), 2.0); // the @2x name says so
    QCOMPARE(dense.deviceIndependentSize(), QSizeF(plain.size()));

    QCOMPARE(box->picture().devicePixelRatio(), 2.0);
    QCOMPARE(box->picture().size(), dense.size());
    const QImage shown = shot(window);
    QCOMPARE(shown.devicePixelRatio(), 2.0);
    QCOMPARE(shown.size(), window->size() * 2);
    const int fromDense = differingPixels(shown, drawnWith(window, box, dense), area);
    const int fromPlain = differingPixels(shown, drawnWith(window, box, plain), area);
    const int all = area.width() * area.height() * 4;
    QVERIFY2(
        fromDense == 0,
        qPrintable(QStringLiteral("%1 of %2 pixels differ from the 2x picture").arg(fromDense).arg(all)));
    QVERIFY2(
        fromPlain > all / 50,
        qPrintable(QStringLiteral("only %1 of %2 pixels tell the 1x picture apart").arg(fromPlain).arg(all)));
}

} // namespace

class HiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QCOMPARE(qApp->devicePixelRatio(), 2.0); }
    void init() {
        clearSettingsValues();
        home = std::make_unique<ScratchHome>();
        fake = std::make_unique<RecordingPlatform>();
        prints = std::make_unique<TfrmPrints>();
        frmPrints = prints.get();
        panel = std::make_unique<TFrmOrvanto>(Values);
        panel->move(10, 10);
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    }
    void cleanup() {
        panel.reset();
        frmPrints = nullptr;
        prints.reset();
        fake.reset();
        home.reset();
    }

    void panelArtworkIsDrawnFromItsDensePicture_data();
    void panelArtworkIsDrawnFromItsDensePicture();
    void dialogLogoIsDrawnFromItsDensePicture();
    void panelShapeIsTheDensePicturesAlpha();

private:
    std::unique_ptr<ScratchHome> home;
    std::unique_ptr<RecordingPlatform> fake;
    std::unique_ptr<TfrmPrints> prints;
    std::unique_ptr<TFrmOrvanto> panel;
};

void HiDpiTest::panelArtworkIsDrawnFromItsDensePicture_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("gadget"); // whose preview to show first; -1 none
    QTest::addColumn<QString>("source");
    QTest::addColumn<QRect>("area"); // compared, in the window; empty: the box's picture
    // The header band of the card: product mark, name and maker's mark, no control on it.
    QTest::newRow("card") << "imgPainel" << -1 << ":/images/fundo.png" << QRect(40, 25, 520, 110);
    QTest::newRow("gear") << "Image1" << -1 << ":/images/gear.png" << QRect();
    for (const int row : {0, 7, 12}) {
        const QString name = QString::fromLatin1(GadgetCatalogue[row].previewImage);
        QTest::addRow("preview %s", GadgetCatalogue[row].previewImage)
            << "imgGadget" << row << QStringLiteral(":/images/previews/%1.png").arg(name) << QRect();
    }
}

void HiDpiTest::panelArtworkIsDrawnFromItsDensePicture() {
    QFETCH(QString, box);
    QFETCH(int, gadget);
    QFETCH(QString, source);
    QFETCH(QRect, area);
    if (gadget >= 0) {
        auto* check = child<QCheckBox>(panel.get(), GadgetCatalogue[gadget].checkBox);
        child<QScrollArea>(panel.get(), "scbChecks")->ensureWidgetVisible(check);
        QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(10, 9));
    }
    auto* image = child<ImageBox>(panel.get(), box.toUtf8().constData());
    if (area.isEmpty())
        area = image->pictureRect().translated(image->mapTo(panel.get(), QPoint(0, 0)));
    checkDrawnFromDensePicture(panel.get(), image, source, area);
}

void HiDpiTest::dialogLogoIsDrawnFromItsDensePicture() {
    const QString savedAliasFile = AliasFilePath;
    AliasFilePath = home->path() + QStringLiteral("/databases.conf"); // no alias: no database opened
    {
        TfrmConfig dialog(nullptr, Values);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* logo = child<ImageBox>(&dialog, "imgLogo");
        checkDrawnFromDensePicture(&dialog, logo, QStringLiteral(":/images/logo.png"),
                                   logo->pictureRect().translated(logo->mapTo(&dialog, QPoint(0, 0))));
    }
    AliasFilePath = savedAliasFile;
}

void HiDpiTest::panelShapeIsTheDensePicturesAlpha() {
    const QImage dense =
        child<ImageBox>(panel.get(), "imgPainel")->picture().toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(dense.size(), QSize(1280, 1166));
    const QRegion shape = opaqueRegion(dense);
    // In device-independent pixels, the same outline as the 1x picture's: the
    // window keeps its shape whatever the density.
    QCOMPARE(shape.boundingRect(), QRect(0, 2, 639, 579));
    QCOMPARE(shape, opaqueRegion(QImage(QStringLiteral(":/images/fundo.png"))));
    // And exact to the device pixel: the mask never lets a wholly transparent
    // pixel of the 2x picture show, nor cuts off a wholly opaque one.
    for (int y = 0; y < dense.height(); ++y) {
        for (int x = 0; x < dense.width(); ++x) {
            const int alpha = qAlpha(dense.pixel(x, y));
            const bool inside = shape.contains(QPoint(x / 2, y / 2));
            if ((alpha == 0 && inside) || (alpha == 255 && !inside))
                QFAIL(qPrintable(QStringLiteral("device pixel (%1, %2) of alpha %3 is %4 the shape")
                                     .arg(x)
                                     .arg(y)
                                     .arg(alpha)
                                     .arg(inside ? "inside" : "outside")));
        }
    }
}

int main(int argc, char** argv) {
    // The density comes before the application: Qt reads it at start.
    qputenv("QT_SCALE_FACTOR", "2");
    int status = 0;
    {
        OrvantoApplication app(argc, argv);
        loadTestResources();
        app.setAttribute(Qt::AA_Use96Dpi, true);
        HiDpiTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    waitForEndingThreads();
    return status;
}

#include "tst_hidpi.moc"
