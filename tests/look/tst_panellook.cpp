// The gadget panel as it draws: its shape, fonts, the check boxes' tick,
// the buttons' state colours, the keyboard's focus mark, the slim scroll
// bar and the previews' sizes.

#include "LookSupport.h"
#include "PanelFixture.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "panel/GadgetCatalogue.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "settings/Settings.h"
#include "ui/ImageBox.h"
#include "ui/Look.h"
#include "ui/WindowShape.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGraphicsEffect>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include <memory>

namespace {

const QColor DimGrey(0x69, 0x69, 0x69);

// How many pixels of a box's tick area are drawn in the tick's colour.
int tickPixels(TFrmOrvanto* panel, QCheckBox* box) {
    const QImage image = shot(panel);
    int count = 0;
    for (int y = 4; y < 15; ++y)
        for (int x = 4; x < 15; ++x)
            if (distance(pixelOf(image, panel, box, {x, y}), DimGrey) <= 2)
                ++count;
    return count;
}

// The indicator column of a box (box and tick) as it is drawn.
QImage indicatorOf(QCheckBox* box) {
    return box->grab(QRect(0, 0, 20, box->height())).toImage();
}

} // namespace

class PanelLookTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        fx = std::make_unique<PanelFixture>(QPoint(40, 30));
        QVERIFY(fx->exposed());
        panel = std::move(fx->panel); // a case may build the panel afresh
        // The pointer on the card, so that moving onto a control enters it.
        // (Two moves: a move to where the last test left the pointer is dropped.)
        QTest::mouseMove(panel->windowHandle(), QPoint(321, 101));
        QTest::mouseMove(panel->windowHandle(), QPoint(320, 100));
    }
    void cleanup() {
        panel.reset();
        fx.reset();
    }

    void cornersShowTheDesktopAndTheCardIsOpaque();
    void shapeComesFromTheArtworksAlpha();
    void captionsUseTahomaInTheirColours_data();
    void captionsUseTahomaInTheirColours();
    void checkedBoxShowsADimGreyTick_data();
    void checkedBoxShowsADimGreyTick();
    void everyBoxLooksLikeTheOthers();
    void startButtonTopColourFollowsPointerAndPress();
    void flatButtonsTurnSilverUnderThePointer_data();
    void flatButtonsTurnSilverUnderThePointer();
    void keyboardFocusShowsADottedMark_data();
    void keyboardFocusShowsADottedMark();
    void clickGivesTheFocusWithoutAMark_data();
    void clickGivesTheFocusWithoutAMark();
    void keyInAClickedBoxShowsTheMark_data();
    void keyInAClickedBoxShowsTheMark();
    void focusMarkRingsTheCaptionClearOfIt();
    void settingsCaptionSitsAtTheRightClearOfTheGear();
    void slimScrollBarAtTheListsRightEdge();
    void slimScrollBarScrollsByThumbAndTrack();
    void dividerIsADarkGreyLine();
    void previewIsFittedAndCentred_data();
    void previewIsFittedAndCentred();
    void noPreviewLetsTheArtworkShow();
    void gearIsShownAtItsOwnSize();
    void titlesFitTheirText_data();
    void titlesFitTheirText();

private:
    template <class T> T* control(const char* name) { return child<T>(panel.get(), name); }
    void movePointerTo(QWidget* w, QPoint at) {
        QTest::mouseMove(panel->windowHandle(), w->mapTo(panel.get(), at));
    }
    QColor pixel(QWidget* w, QPoint at) { return pixelOf(shot(panel.get()), panel.get(), w, at); }
    bool activate() {
        panel->activateWindow();
        return QTest::qWaitForWindowActive(panel.get());
    }
    // A press gives the focus; letting go on the card keeps the control from
    // acting ("X" would end the program, "Configurações" open the dialog).
    void pressAndLetGoElsewhere(QWidget* w, QPoint at) { pressAndLetGoAt(w, at, QPoint(320, 100)); }

    std::unique_ptr<PanelFixture> fx;
    std::unique_ptr<TFrmOrvanto> panel;
};

void PanelLookTest::cornersShowTheDesktopAndTheCardIsOpaque() {
    const QImage image = shot(panel.get());
    QCOMPARE(image.size(), QSize(641, 584));
    for (const QPoint corner : {QPoint(0, 0), QPoint(4, 4), QPoint(636, 4), QPoint(4, 579), QPoint(636, 579)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    // The column and row beyond the 640 x 583 artwork stay transparent.
    QCOMPARE(qAlpha(image.pixel(640, 300)), 0);
    QCOMPARE(qAlpha(image.pixel(320, 583)), 0);
    for (const QPoint inside : {QPoint(320, 291), QPoint(10, 100), QPoint(630, 500), QPoint(320, 570)})
        QCOMPARE(qAlpha(image.pixel(inside)), 255);
}

void PanelLookTest::shapeComesFromTheArtworksAlpha() {
    // Offscreen, the window keeps its alpha and needs no mask (the mask a
    // plain X server needs is checked under Xvfb by tst_windowshape).
    QVERIFY(windowSystemBlendsAlpha());
    QVERIFY(panel->mask().isEmpty());
    const QImage artwork = child<ImageBox>(panel.get(), "imgPainel")->picture().toImage();
    QCOMPARE(artwork.size(), QSize(640, 583));
    const QRegion shape = opaqueRegion(artwork);
    for (int y = 0; y < panel->height(); ++y) {
        for (int x = 0; x < panel->width(); ++x) {
            const bool opaque =
                x < artwork.width() && y < artwork.height() && qAlpha(artwork.pixel(x, y)) >= 128;
            if (shape.contains(QPoint(x, y)) != opaque)
                QFAIL(qPrintable(QStringLiteral("shape and artwork disagree at (%1, %2)").arg(x).arg(y)));
        }
    }
    // Other thresholds cut the outline elsewhere.
    QVERIFY(shape.subtracted(opaqueRegion(artwork, 1)).isEmpty());
    QVERIFY(!opaqueRegion(artwork, 1).subtracted(shape).isEmpty());
    QVERIFY(opaqueRegion(artwork, 255) != shape);
}

void PanelLookTest::captionsUseTahomaInTheirColours_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("lblTitulo") << "lblTitulo" << 20 << false << QColor(0x80, 0x80, 0x80);
    QTest::newRow("lblTitulo2") << "lblTitulo2" << 27 << true << DimGrey;
    QTest::newRow("ckbAbcProdutos") << "ckbAbcProdutos" << 15 << true << DimGrey;
    QTest::newRow("ckbIndiceInadimplencia") << "ckbIndiceInadimplencia" << 15 << true << DimGrey;
    QTest::newRow("ckbTodos") << "ckbTodos" << 15 << false << DimGrey;
    QTest::newRow("spbFechar") << "spbFechar" << 20 << true << DimGrey;
    QTest::newRow("spbConfigurações") << "spbConfigurações" << 12 << false << DimGrey;
    QTest::newRow("btnIniciarGadgets") << "btnIniciarGadgets" << 15 << true << QColor(Qt::white);
}

void PanelLookTest::captionsUseTahomaInTheirColours() {
    QFETCH(QString, name);
    QFETCH(int, pixelSize);
    QFETCH(bool, bold);
    QFETCH(QColor, colour);
    QWidget* w = control<QWidget>(name.toUtf8().constData());
    const QFont font = w->font();
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("Tahoma")); // the font really drawn with
    QCOMPARE(font.pixelSize(), pixelSize);
    QCOMPARE(font.bold(), bold);
    const QPalette::ColorRole role = qobject_cast<QLabel*>(w) ? QPalette::WindowText : QPalette::ButtonText;
    QCOMPARE(w->palette().color(role), colour);
}

void PanelLookTest::checkedBoxShowsADimGreyTick_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("first gadget box") << "ckbAbcProdutos";
    QTest::newRow("last gadget box") << "ckbIndiceInadimplencia";
    QTest::newRow("Todos") << "ckbTodos";
}

void PanelLookTest::checkedBoxShowsADimGreyTick() {
    QFETCH(QString, name);
    auto* box = control<QCheckBox>(name.toUtf8().constData());
    child<QScrollArea>(panel.get(), "scbChecks")->ensureWidgetVisible(box);
    QCOMPARE(tickPixels(panel.get(), box), 0);

    // The box itself: a grey gradient, light at the top, dark at the bottom.
    const QColor top = pixel(box, {9, 4});
    const QColor bottom = pixel(box, {9, 15});
    QVERIFY2(top.lightness() > bottom.lightness() + 40,
             qPrintable(describe(top) + " over " + describe(bottom)));
    COMPARE_COLOUR(pixel(box, {2, 9}), QColor(0x20, 0x20, 0x20), 24); // its border

    box->setChecked(true);
    QTRY_VERIFY(tickPixels(panel.get(), box) >= 8);
    // Cleared, the tick is gone at once: no fade out.
    box->setChecked(false);
    QCOMPARE(tickPixels(panel.get(), box), 0);
}

void PanelLookTest::everyBoxLooksLikeTheOthers() {
    // The first box names a style of its own that no style book holds: it
    // must still look like the other twelve, checked or not.
    auto* first = control<QCheckBox>("ckbAbcProdutos");
    for (const Gadget& entry : GadgetCatalogue) {
        auto* box = control<QCheckBox>(entry.checkBox);
        QCOMPARE(indicatorOf(box), indicatorOf(first));
        QCOMPARE(box->font(), first->font());
        QCOMPARE(box->palette().color(QPalette::WindowText), first->palette().color(QPalette::WindowText));
    }
    control<QCheckBox>("ckbTodos")->setChecked(true); // checks all
    QTRY_VERIFY(tickPixels(panel.get(), first) >= 8);
    for (const Gadget& entry : GadgetCatalogue)
        QTRY_COMPARE(indicatorOf(control<QCheckBox>(entry.checkBox)), indicatorOf(first));
}

void PanelLookTest::startButtonTopColourFollowsPointerAndPress() {
    auto* button = control<QPushButton>("btnIniciarGadgets");
    const QPoint top(12, 0);
    const auto brightest = [&] {
        const QImage image = shot(panel.get());
        int best = 0;
        for (int y = 0; y < button->height(); ++y)
            for (int x = 0; x < button->width(); ++x)
                best = std::max(
                    best, QColor::fromRgba(pixelOf(image, panel.get(), button, {x, y}).rgba()).lightness());
        return best;
    };

    COMPARE_COLOUR(pixel(button, top), QColor(0x69, 0x69, 0x69), 2);
    COMPARE_COLOUR(pixel(button, {12, button->height() - 2}), QColor(0x71, 0x71, 0x71), 2);
    QCOMPARE(brightest(), 255); // the caption is white

    movePointerTo(button, {20, 17});
    QTRY_VERIFY(distance(pixel(button, top), QColor(0x80, 0x80, 0x80)) <= 2);
    QCOMPARE(brightest(), 255);

    QTest::mousePress(panel->windowHandle(), Qt::LeftButton, {}, button->mapTo(panel.get(), QPoint(20, 17)));
    QTRY_VERIFY(distance(pixel(button, top), QColor(0xA9, 0xA9, 0xA9)) <= 2);
    QCOMPARE(brightest(), 255);
    QTest::mouseRelease(panel->windowHandle(), Qt::LeftButton, {},
                        button->mapTo(panel.get(), QPoint(20, 17)));
    QTRY_VERIFY(distance(pixel(button, top), QColor(0x70, 0x70, 0x70)) <= 2);
    QCOMPARE(brightest(), 255);

    movePointerTo(panel.get(), {320, 100});
    QTRY_VERIFY(distance(pixel(button, top), QColor(0x69, 0x69, 0x69)) <= 2);

    // Focused, it glows dim grey; the glow goes with the focus.
    auto* glow = button->graphicsEffect();
    QVERIFY(glow);
    button->setFocus();
    QTRY_VERIFY(glow->isEnabled());
    button->clearFocus();
    QTRY_VERIFY(!glow->isEnabled());
}

void PanelLookTest::flatButtonsTurnSilverUnderThePointer_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("spbFechar") << "spbFechar";
    QTest::newRow("spbConfigurações") << "spbConfigurações";
}

void PanelLookTest::flatButtonsTurnSilverUnderThePointer() {
    QFETCH(QString, name);
    auto* button = control<QToolButton>(name.toUtf8().constData());
    const QPoint edge(button->width() - 2, button->height() / 2); // inside the padding, clear of the caption
    const QColor card = QColor::fromRgba(child<ImageBox>(panel.get(), "imgPainel")
                                             ->picture()
                                             .toImage()
                                             .pixel(button->mapTo(panel.get(), edge)));
    COMPARE_COLOUR(pixel(button, edge), card, 0); // the card shows through
    movePointerTo(button, {button->width() / 2, button->height() / 2});
    QVERIFY(button->underMouse());
    QTRY_COMPARE(pixel(button, edge), QColor(0xC0, 0xC0, 0xC0));
    QTest::mousePress(panel->windowHandle(), Qt::RightButton, {}, button->mapTo(panel.get(), QPoint(5, 5)));
    COMPARE_COLOUR(pixel(button, edge), QColor(0xC0, 0xC0, 0xC0), 0); // pressed or not
    QTest::mouseRelease(panel->windowHandle(), Qt::RightButton, {}, button->mapTo(panel.get(), QPoint(5, 5)));
    movePointerTo(panel.get(), {320, 100});
    QTRY_COMPARE(pixel(button, edge), card);
}

void PanelLookTest::keyboardFocusShowsADottedMark_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("colour"); // the caption's
    QTest::newRow("first gadget box") << "ckbAbcProdutos" << DimGrey;
    QTest::newRow("last gadget box, scrolled to") << "ckbIndiceInadimplencia" << DimGrey;
    QTest::newRow("Todos") << "ckbTodos" << DimGrey;
    QTest::newRow("start button") << "btnIniciarGadgets" << QColor(Qt::white);
    QTest::newRow("close button") << "spbFechar" << DimGrey;
    QTest::newRow("settings button") << "spbConfigurações" << DimGrey;
    QTest::newRow("gadget list") << "scbChecks" << DimGrey;
}

void PanelLookTest::keyboardFocusShowsADottedMark() {
    QFETCH(QString, name);
    QFETCH(QColor, colour);
    auto* target = control<QWidget>(name.toUtf8().constData());
    QVERIFY(activate());
    QVERIFY(dottedLines(target->grab().toImage(), colour).none());

    QVERIFY(tabTo(target));
    const DottedLines mark = dottedLines(target->grab().toImage(), colour);
    const QRect frame = mark.frame();
    QVERIFY2(frame.width() >= 10 && frame.height() >= 10, qPrintable(mark.describe()));
    // Inside the control, which keeps its size.
    QVERIFY(QRect(QPoint(0, 0), target->size()).contains(frame));

    // Tabbing on takes the mark along (the list's first box then shows one
    // of its own, elsewhere); Shift+Tab brings it back.
    QTest::keyClick(target, Qt::Key_Tab);
    QVERIFY(!target->hasFocus());
    const DottedLines left = dottedLines(target->grab().toImage(), colour);
    QVERIFY2(!left.rows.contains(frame.top()) && !left.columns.contains(frame.left()),
             qPrintable(left.describe()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QVERIFY(target->hasFocus());
    QCOMPARE(dottedLines(target->grab().toImage(), colour).frame(), frame);
}

void PanelLookTest::clickGivesTheFocusWithoutAMark_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("first gadget box") << "ckbAbcProdutos" << QPoint(40, 9) << DimGrey;
    QTest::newRow("last gadget box") << "ckbIndiceInadimplencia" << QPoint(40, 9) << DimGrey;
    QTest::newRow("Todos") << "ckbTodos" << QPoint(40, 9) << DimGrey;
    QTest::newRow("start button") << "btnIniciarGadgets" << QPoint(84, 17) << QColor(Qt::white);
    QTest::newRow("gadget list, between two boxes") << "scbChecks" << QPoint(150, 26) << DimGrey;
    // The flat buttons take the focus from the keyboard only.
}

void PanelLookTest::clickGivesTheFocusWithoutAMark() {
    QFETCH(QString, name);
    QFETCH(QPoint, at);
    QFETCH(QColor, colour);
    auto* target = control<QWidget>(name.toUtf8().constData());
    QVERIFY(activate());
    // The keyboard was used last, elsewhere: the click still shows nothing.
    QVERIFY(tabTo(control<QWidget>("spbFechar")));
    control<QScrollArea>("scbChecks")->ensureWidgetVisible(target);
    pressAndLetGoElsewhere(target, at);
    QVERIFY(target->hasFocus());
    const DottedLines lines = dottedLines(target->grab().toImage(), colour);
    QVERIFY2(lines.none(), qPrintable(lines.describe()));
}

void PanelLookTest::keyInAClickedBoxShowsTheMark_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter, which the panel takes itself") << int(Qt::Key_Return);
}

void PanelLookTest::keyInAClickedBoxShowsTheMark() {
    QFETCH(int, key);
    auto* box = control<QCheckBox>("ckbCalvoria");
    QVERIFY(activate());
    QTest::mouseClick(panel->windowHandle(), Qt::LeftButton, {}, box->mapTo(panel.get(), QPoint(40, 9)));
    QVERIFY(box->hasFocus() && box->isChecked());
    QVERIFY(dottedLines(box->grab().toImage(), DimGrey).none());
    // The user turns to the keyboard: the key ticks the box, the mark shows which.
    QTest::keyClick(box, Qt::Key(key));
    QVERIFY(!box->isChecked());
    const DottedLines mark = dottedLines(box->grab().toImage(), DimGrey);
    QVERIFY2(mark.frame().isValid(), qPrintable(mark.describe()));
}

void PanelLookTest::focusMarkRingsTheCaptionClearOfIt() {
    // The box and its tick stay as they are; the caption's ink lies inside
    // the mark, a pixel clear of its lines.
    auto* box = control<QCheckBox>("ckbIndiceInadimplencia"); // accents reach highest
    QVERIFY(activate());
    const QImage calm = box->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    QVERIFY(tabTo(box));
    const QImage marked = box->grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QRect frame = dottedLines(marked, DimGrey).frame();
    QVERIFY(frame.isValid());
    QCOMPARE(marked.copy(0, 0, 19, box->height()), calm.copy(0, 0, 19, box->height()));
    QRect ink;
    const QRgb ground = calm.pixel(calm.width() - 1, 0);
    for (int y = 0; y < calm.height(); ++y)
        for (int x = 20; x < calm.width(); ++x)
            if (calm.pixel(x, y) != ground)
                ink |= QRect(x, y, 1, 1);
    QVERIFY2(frame.adjusted(2, 1, -2, -1).contains(ink),
             qPrintable(QStringLiteral("caption %1,%2 %3x%4 in a mark %5,%6 %7x%8")
                            .arg(ink.x())
                            .arg(ink.y())
                            .arg(ink.width())
                            .arg(ink.height())
                            .arg(frame.x())
                            .arg(frame.y())
                            .arg(frame.width())
                            .arg(frame.height())));
}

void PanelLookTest::settingsCaptionSitsAtTheRightClearOfTheGear() {
    auto* button = control<QToolButton>("spbConfigurações");
    const QImage image = shot(panel.get());
    int left = button->width(), right = -1;
    for (int y = 0; y < button->height(); ++y) {
        for (int x = 25; x < button->width(); ++x) { // right of the gear's box
            if (pixelOf(image, panel.get(), button, {x, y}).lightness() < 200) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
        }
    }
    QVERIFY2(right >= button->width() - 5 - 3 && right < button->width() - 4,
             qPrintable(QString::number(right)));
    QVERIFY2(left > 26, qPrintable(QString::number(left)));
}

void PanelLookTest::slimScrollBarAtTheListsRightEdge() {
    auto* list = control<QScrollArea>("scbChecks");
    QScrollBar* bar = list->verticalScrollBar();
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->width(), 8);
    QCOMPARE(bar->mapTo(list, QPoint(0, 0)).x() + bar->width(), list->width());
    QVERIFY(bar->maximum() > 0); // the list is longer than its box

    const QImage image = shot(panel.get());
    // The gap towards the list shows the artwork; the track runs dark to
    // lighter from left to right, below the thumb.
    const QColor gap = pixelOf(image, panel.get(), bar, {0, 150});
    const QColor art = QColor::fromRgba(child<ImageBox>(panel.get(), "imgPainel")
                                            ->picture()
                                            .toImage()
                                            .pixel(bar->mapTo(panel.get(), QPoint(0, 150))));
    COMPARE_COLOUR(gap, art, 0);
    const QColor trackLeft = pixelOf(image, panel.get(), bar, {3, 150});
    const QColor trackRight = pixelOf(image, panel.get(), bar, {6, 150});
    QVERIFY2(trackLeft.lightness() < 0x48 && trackRight.lightness() > trackLeft.lightness(),
             qPrintable(describe(trackLeft) + " then " + describe(trackRight)));
    COMPARE_COLOUR(pixelOf(image, panel.get(), bar, {5, 15}), QColor(0xA9, 0xA9, 0xA9), 2); // the thumb
    // The list itself draws no background: the artwork shows between the boxes.
    const QPoint between = list->mapTo(panel.get(), QPoint(150, 26));
    COMPARE_COLOUR(
        QColor::fromRgba(image.pixel(between)),
        QColor::fromRgba(child<ImageBox>(panel.get(), "imgPainel")->picture().toImage().pixel(between)), 0);
}

void PanelLookTest::slimScrollBarScrollsByThumbAndTrack() {
    auto* list = control<QScrollArea>("scbChecks");
    QScrollBar* bar = list->verticalScrollBar();
    QCOMPARE(bar->value(), 0);
    // The thumb starts at the top and is as long as the share of the list shown.
    const QImage image = shot(panel.get());
    COMPARE_COLOUR(pixelOf(image, panel.get(), bar, {5, 3}), QColor(0xA9, 0xA9, 0xA9), 2);
    const int thumb = bar->height() * bar->pageStep() / (bar->maximum() + bar->pageStep());
    COMPARE_COLOUR(pixelOf(image, panel.get(), bar, {5, thumb - 4}), QColor(0xA9, 0xA9, 0xA9), 2);
    QVERIFY(pixelOf(image, panel.get(), bar, {5, thumb + 4}).lightness() < 0x60); // the track

    // A click on the track below the thumb moves the list down.
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(5, bar->height() - 3));
    QTRY_VERIFY(bar->value() > 0);

    // The thumb dragged down to the end shows the last box whole.
    bar->setValue(0);
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(5, 10));
    QTest::mouseMove(bar, QPoint(5, bar->height() + 40));
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(5, bar->height() + 40));
    QCOMPARE(bar->value(), bar->maximum());
    auto* last = control<QCheckBox>(GadgetCatalogue.back().checkBox);
    const QRect shown = QRect(last->mapTo(list->viewport(), QPoint(0, 0)), last->size());
    QVERIFY2(list->viewport()->rect().contains(shown),
             qPrintable(QStringLiteral("%1,%2").arg(shown.top()).arg(shown.bottom())));
}

void PanelLookTest::dividerIsADarkGreyLine() {
    auto* line = control<QWidget>("lnDivisor");
    COMPARE_COLOUR(pixel(line, {100, 0}), QColor(0xA9, 0xA9, 0xA9), 0);
    QVERIFY(distance(pixel(line, {100, 1}), QColor(0xA9, 0xA9, 0xA9)) > 8);
}

void PanelLookTest::previewIsFittedAndCentred_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QSize>("shown");
    const QSize sizes[] = {{192, 140}, {166, 140}, {199, 140}, {163, 140}, {194, 140}, {190, 140}, {188, 140},
                           {136, 140}, {172, 140}, {172, 140}, {219, 138}, {188, 140}, {180, 129}};
    for (int row = 0; row < 13; ++row)
        QTest::newRow(GadgetCatalogue[row].previewImage) << row << sizes[row];
}

void PanelLookTest::previewIsFittedAndCentred() {
    QFETCH(int, row);
    QFETCH(QSize, shown);
    auto* box = control<QCheckBox>(GadgetCatalogue[row].checkBox);
    auto* preview = control<ImageBox>("imgGadget");
    child<QScrollArea>(panel.get(), "scbChecks")->ensureWidgetVisible(box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, 9));
    const QRect rect = preview->pictureRect();
    QCOMPARE(rect.size(), shown);
    QCOMPARE(rect.left(), (219 - shown.width()) / 2);
    QCOMPARE(rect.top(), (140 - shown.height()) / 2);
    // What is drawn there is the picture, opaque, edge to edge.
    const QImage image = shot(panel.get());
    for (const QPoint p : {rect.topLeft(), rect.bottomRight(), rect.center()})
        QCOMPARE(qAlpha(image.pixel(preview->mapTo(panel.get(), p))), 255);
}

void PanelLookTest::noPreviewLetsTheArtworkShow() {
    auto* preview = control<ImageBox>("imgGadget");
    QVERIFY(preview->pictureRect().isEmpty());
    const QImage artwork = child<ImageBox>(panel.get(), "imgPainel")->picture().toImage();
    const QImage image = shot(panel.get());
    for (const QPoint p : {QPoint(0, 0), QPoint(109, 70), QPoint(218, 139)}) {
        const QPoint at = preview->mapTo(panel.get(), p);
        QCOMPARE(image.pixel(at), artwork.pixel(at));
    }
}

void PanelLookTest::gearIsShownAtItsOwnSize() {
    auto* gear = control<ImageBox>("Image1");
    QCOMPARE(gear->size(), QSize(23, 20));
    QCOMPARE(gear->pictureRect(), QRect(4, 2, 15, 15));
}

void PanelLookTest::titlesFitTheirText_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("fallback");
    QTest::addColumn<QRect>("designed");
    for (const bool fallback : {false, true}) {
        const char* font = fallback ? ", fallback font" : ", Tahoma";
        QTest::addRow("lblTitulo%s", font) << "lblTitulo" << fallback << QRect(51, 164, 267, 28);
        QTest::addRow("lblTitulo2%s", font) << "lblTitulo2" << fallback << QRect(51, 189, 301, 37);
    }
}

void PanelLookTest::titlesFitTheirText() {
    QFETCH(QString, name);
    QFETCH(bool, fallback);
    QFETCH(QRect, designed);
    // Tahoma comes from the packaged Wine fonts, loaded into the program;
    // dropping them leaves the titles to whatever font stands in.
    struct RestoreTahoma {
        bool armed = false;
        ~RestoreTahoma() {
            if (!armed)
                return;
            for (const char* file :
                 {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
                QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        }
    } restore;
    if (fallback) {
        panel.reset();
        restore.armed = true;
        QFontDatabase::removeAllApplicationFonts();
        panel = std::make_unique<TFrmOrvanto>(Values);
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
    }
    auto* title = control<QLabel>(name.toUtf8().constData());
    const QString family = QFontInfo(title->font()).family();
    if (fallback && family == u"Tahoma")
        QSKIP("Tahoma is installed on this system: no fallback font to try");
    QCOMPARE(family == u"Tahoma", !fallback);

    QVERIFY(!title->wordWrap());
    QCOMPARE(title->pos(), designed.topLeft());
    const QFontMetrics metrics(title->font());
    const QRect text = metrics.boundingRect(title->text());
    QVERIFY2(title->width() >= metrics.horizontalAdvance(title->text()) && title->width() >= text.width(),
             qPrintable(QStringLiteral("%1 px wide for a text of %2 px in %3")
                            .arg(title->width())
                            .arg(metrics.horizontalAdvance(title->text()))
                            .arg(family)));
    QVERIFY(title->height() >= metrics.height());
    if (!fallback)
        QCOMPARE(title->geometry(), designed); // Tahoma's text fits the designed size
}

ORVANTO_TEST_MAIN(PanelLookTest)
#include "tst_panellook.moc"
