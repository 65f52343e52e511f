// The panel's shape on a real X server (a private Xvfb, which runs no
// compositor): the mask from the artwork lets the desktop show through the
// rounded corners; once a compositor owns its selection, no mask is set.
// Run also with QT_SCALE_FACTOR=2 (tst_windowshape_2x): the shape then comes
// from the 2x artwork and must still match it device pixel for device pixel.

#include "PrivateXServer.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "panel/TFrmOrvanto.h"
#include "ui/ImageBox.h"
#include "ui/Look.h"
#include "ui/WindowShape.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

namespace {

xcb_connection_t* connection() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Stands in for a compositor: owns _NET_WM_CM_S0 through a window of its own.
void claimCompositorSelection() {
    xcb_connection_t* c = connection();
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t owner = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    QVERIFY(atom);
    xcb_set_selection_owner(c, owner, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    std::free(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip: the claim has landed
}

} // namespace

class WindowShapeTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (QGuiApplication::platformName() != u"xcb")
            QSKIP("no private X server could be started");
        home = std::make_unique<ScratchHome>();
        fake = std::make_unique<RecordingPlatform>();
    }
    void cleanup() {
        fake.reset();
        home.reset();
    }

    void withoutCompositorTheDesktopShowsThroughTheCorners();
    void withCompositorTheWindowKeepsItsAlpha();

private:
    std::unique_ptr<ScratchHome> home;
    std::unique_ptr<RecordingPlatform> fake;
};

void WindowShapeTest::withoutCompositorTheDesktopShowsThroughTheCorners() {
    QVERIFY(!windowSystemBlendsAlpha());
    TFrmOrvanto panel(Values);
    // The picture for the screen's density (the 2x one at scale 2), in device pixels.
    const QImage artwork =
        child<ImageBox>(&panel, "imgPainel")->picture().toImage().convertToFormat(QImage::Format_ARGB32);
    const int ratio = qRound(panel.devicePixelRatio());
    QCOMPARE(artwork.size(), QSize(640, 583) * ratio);
    QCOMPARE(panel.mask(), opaqueRegion(artwork));
    panel.move(60, 50);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    QTest::qWait(200); // let the server draw

    const QPoint at = panel.geometry().topLeft();
    const QImage screen = QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 641, 584).toImage();
    QCOMPARE(screen.size(), QSize(641, 584) * ratio);
    // The white root window shows where the card is transparent...
    for (const QPoint corner : {QPoint(1, 1), QPoint(4, 4), QPoint(636, 579), QPoint(640, 300)})
        QCOMPARE(QColor(screen.pixel(corner * ratio)), QColor(Qt::white));
    // ... and the card itself where it is opaque.
    for (const QPoint card : {QPoint(320, 100), QPoint(20, 300), QPoint(100, 90)}) {
        QCOMPARE(qAlpha(artwork.pixel(card * ratio)), 255);
        QCOMPARE(QColor(screen.pixel(card * ratio)), QColor(artwork.pixel(card * ratio)));
    }
    // Around the rounded corners, device pixel by device pixel: where the
    // artwork is wholly transparent the desktop shows, where it is wholly
    // opaque the artwork does.
    const int side = 42 * ratio;
    for (const QPoint origin :
         {QPoint(0, 0), QPoint(artwork.width() - side, 0), QPoint(0, artwork.height() - side),
          QPoint(artwork.width() - side, artwork.height() - side)}) {
        for (int y = origin.y(); y < origin.y() + side; ++y) {
            for (int x = origin.x(); x < origin.x() + side; ++x) {
                const QRgb drawn = artwork.pixel(x, y);
                const QColor shown(screen.pixel(x, y));
                const QString where = QStringLiteral("device pixel (%1, %2)").arg(x).arg(y);
                if (qAlpha(drawn) == 0)
                    QVERIFY2(shown == QColor(Qt::white),
                             qPrintable(where + QStringLiteral(": not the desktop")));
                else if (qAlpha(drawn) == 255)
                    QVERIFY2(shown == QColor(drawn), qPrintable(where + QStringLiteral(": not the artwork")));
            }
        }
    }
}

void WindowShapeTest::withCompositorTheWindowKeepsItsAlpha() {
    claimCompositorSelection();
    QVERIFY(windowSystemBlendsAlpha());
    TFrmOrvanto panel(Values);
    QVERIFY(panel.mask().isEmpty());
}

int main(int argc, char** argv) {
    // The X server comes first: the application connects to it at once.
    PrivateXServer xvfb;
    xvfb.use();
    int status = 0;
    {
        OrvantoApplication app(argc, argv);
        loadTestResources();
        WindowShapeTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    waitForEndingThreads();
    return status;
}

#include "tst_windowshape.moc"
