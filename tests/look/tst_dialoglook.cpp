// The settings dialog as it draws: the gradient over its current size, the
// interface font, the group box, tabs, fields, lists, buttons, pickers and
// radio buttons with their hover, press and focus looks, and the dotted
// mark of the keyboard's focus.

#include "DialogFixture.h"
#include "LookSupport.h"
#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "config_dialog/TfrmConfig.h"
#include "database/Alias.h"
#include "settings/Settings.h"
#include "ui/ImageBox.h"

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGraphicsEffect>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include <cmath>
#include <memory>

namespace {

// A plate of the given base colour under the gloss's light upper half.
QColor glossedUpperHalf(const QColor& base) {
    const auto over = [](int base, int gloss) {
        return qRound(gloss * 36 / 255.0 + base * (1 - 36 / 255.0));
    };
    return QColor(over(base.red(), 0xF4), over(base.green(), 0xF4), over(base.blue(), 0xF4));
}

const QColor DimGrey(0x69, 0x69, 0x69);
const QColor ListText(0x05, 0x05, 0x05);

int countNear(const QImage& image, QRect area, const QColor& colour, int tolerance) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (distance(QColor::fromRgba(image.pixel(x, y)), colour) <= tolerance)
                ++count;
    return count;
}

} // namespace

class DialogLookTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        // Empty settings values and no alias: the dialog opens no database.
        fx = std::make_unique<DialogFixture>();
        dialog = std::make_unique<TfrmConfig>(nullptr, Values);
        dialog->move(30, 20);
        dialog->resize(dialog->width(), 390); // as the panel opens it
        dialog->show();
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        // The pointer on the background, so that moving onto a control enters it.
        // (Two moves: a move to where the last test left the pointer is dropped.)
        QTest::mouseMove(dialog->windowHandle(), QPoint(201, 21));
        QTest::mouseMove(dialog->windowHandle(), QPoint(200, 20));
    }
    void cleanup() {
        dialog.reset();
        fx.reset();
    }

    void gradientIsLaidOverTheCurrentHeight_data();
    void gradientIsLaidOverTheCurrentHeight();
    void captionsUseTheInterfaceFont();
    void groupBoxBorderIsBrokenByItsCaption();
    void tabsAndPage();
    void editFieldsFillSelectionAndFocusGlow();
    void dropDownTurnsBlueUnderThePointer();
    void disabledControlsAreFaded();
    void buttonsHoverPressAndFocus();
    void pickerPlateFadesInUnderThePointer();
    void radioButtonsDotHoverAndFocus();
    void keyboardFocusShowsADottedMark_data();
    void keyboardFocusShowsADottedMark();
    void clickGivesTheFocusWithoutAMark_data();
    void clickGivesTheFocusWithoutAMark();
    void keyHandlersCarryTheMark_data();
    void keyHandlersCarryTheMark();
    void logoIsFittedAndCentred();

private:
    template <class T> T* control(const char* name) { return child<T>(dialog.get(), name); }
    QColor pixel(QWidget* w, QPoint at) { return pixelOf(shot(dialog.get()), dialog.get(), w, at); }
    void movePointerTo(QWidget* w, QPoint at) {
        QTest::mouseMove(dialog->windowHandle(), w->mapTo(dialog.get(), at));
    }
    // "Remota" chosen (the server and protocol list take the focus) and a page shown.
    void prepare(bool remote, int page) {
        control<QRadioButton>(remote ? "rdbRemota" : "rdbLocal")->setChecked(true);
        control<QTabWidget>("tbcConfig")->setCurrentIndex(page);
    }
    // A press gives the focus; letting go on the background keeps the
    // control from acting ("Cancelar" would close the dialog). A list's
    // press drops its items down: they are closed again.
    void pressAndLetGoElsewhere(QWidget* w) {
        if (auto* list = qobject_cast<QComboBox*>(w)) {
            QTest::mousePress(dialog->windowHandle(), Qt::LeftButton, {},
                              w->mapTo(dialog.get(), QPoint(w->width() / 2, w->height() / 2)));
            list->hidePopup();
            QTest::mouseMove(dialog->windowHandle(), QPoint(200, 20));
            QTest::mouseRelease(dialog->windowHandle(), Qt::LeftButton, {}, QPoint(200, 20));
            return;
        }
        pressAndLetGoAt(w, QPoint(w->width() / 2, w->height() / 2), QPoint(200, 20));
    }

    std::unique_ptr<DialogFixture> fx;
    std::unique_ptr<TfrmConfig> dialog;
};

void DialogLookTest::gradientIsLaidOverTheCurrentHeight_data() {
    QTest::addColumn<int>("height");
    QTest::newRow("as the panel shows it") << 390;
    QTest::newRow("as designed") << 466;
    QTest::newRow("shortened further") << 200;
}

void DialogLookTest::gradientIsLaidOverTheCurrentHeight() {
    QFETCH(int, height);
    dialog->resize(dialog->width(), height);
    QTRY_COMPARE(dialog->height(), height);
    const QImage image = shot(dialog.get());
    QCOMPARE(image.height(), height);
    const int x = 2; // left of every control: only the background panel lies there
    COMPARE_COLOUR(QColor::fromRgba(image.pixel(x, height - 1)), QColor(0xC5, 0xC5, 0xC5), 2);
    const int white = int(std::lround(height * (1 - 0.3054662346839905)));
    COMPARE_COLOUR(QColor::fromRgba(image.pixel(x, white)), QColor(0xFF, 0xFF, 0xFF), 2);
    COMPARE_COLOUR(QColor::fromRgba(image.pixel(x, 0)), QColor(0xD8, 0xD8, 0xD8), 2);
    // Halfway between white and the top edge, halfway between the colours.
    COMPARE_COLOUR(QColor::fromRgba(image.pixel(x, white / 2)), QColor(0xEC, 0xEC, 0xEC), 3);
}

void DialogLookTest::captionsUseTheInterfaceFont() {
    const QString family = QFontInfo(control<QLabel>("lblCaminhoBanco")->font()).family();
    const QStringList accepted = {"Segoe UI", "Liberation Sans", "Arimo", "DejaVu Sans"};
    QVERIFY2(accepted.contains(family), qPrintable(family));
    for (const char* name : {"lblTitulo", "lblTitulo2", "lblServidor", "edtUsuario", "ppbFiliais",
                             "btnSalvar", "rdbLocal", "grbConexao", "spbPastaGadgets"})
        QCOMPARE(QFontInfo(control<QWidget>(name)->font()).family(), family);
    QCOMPARE(QFontInfo(control<QTabWidget>("tbcConfig")->tabBar()->font()).family(), family);
    QCOMPARE(control<QLabel>("lblUsuario")->palette().color(QPalette::WindowText), QColor(0x69, 0x69, 0x69));
    QCOMPARE(control<QPushButton>("btnSalvar")->palette().color(QPalette::ButtonText),
             QColor(0x69, 0x69, 0x69));
    QCOMPARE(control<QRadioButton>("rdbRemota")->palette().color(QPalette::WindowText), QColor(Qt::black));
}

void DialogLookTest::groupBoxBorderIsBrokenByItsCaption() {
    auto* group = control<QGroupBox>("grbConexao");
    const QImage image = shot(dialog.get());
    const QColor dimGrey(0x69, 0x69, 0x69);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), group, {2, 45}), dimGrey, 2);   // left side, inset 2
    COMPARE_COLOUR(pixelOf(image, dialog.get(), group, {258, 45}), dimGrey, 2); // right side, inset 2
    COMPARE_COLOUR(pixelOf(image, dialog.get(), group, {240, 8}), dimGrey, 2);  // top, 8 down
    COMPARE_COLOUR(pixelOf(image, dialog.get(), group, {120, 84}), dimGrey, 2); // bottom, inset 2
    // Where the caption crosses the top edge the border gives way.
    QVERIFY(distance(pixelOf(image, dialog.get(), group, {19, 8}), dimGrey) > 40);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), group, {10, 8}), dimGrey, 2);
    // The caption is near black.
    int darkest = 255;
    for (int y = 0; y < 18; ++y)
        for (int x = 17; x < 75; ++x)
            darkest = std::min(darkest, pixelOf(image, dialog.get(), group, {x, y}).lightness());
    QVERIFY2(darkest < 0x30, qPrintable(QString::number(darkest)));
    // No fill: the gradient shows inside the box.
    QCOMPARE(pixelOf(image, dialog.get(), group, {100, 78}),
             pixelOf(image, dialog.get(), dialog.get(), {2, 42 + 78}));
}

void DialogLookTest::tabsAndPage() {
    auto* tabs = control<QTabWidget>("tbcConfig");
    QTabBar* bar = tabs->tabBar();
    QCOMPARE(bar->tabRect(0), QRect(0, 0, 142, 20));
    QCOMPARE(bar->tabRect(1), QRect(142, 0, 87, 20));
    QImage image = shot(dialog.get());
    // The selected tab: plain near-white, no gloss.
    COMPARE_COLOUR(pixelOf(image, dialog.get(), bar, {3, 5}), QColor(0xFE, 0xFE, 0xFE), 1);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), bar, {3, 15}), QColor(0xFE, 0xFE, 0xFE), 1);
    // The other one: white under the gloss, light above and darker below.
    COMPARE_COLOUR(pixelOf(image, dialog.get(), bar, {143, 5}), QColor(0xFD, 0xFD, 0xFD), 2);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), bar, {143, 15}), QColor(0xDA, 0xDA, 0xDA), 2);
    // The page: white with a grey border.
    COMPARE_COLOUR(pixelOf(image, dialog.get(), tabs, {0, 100}), QColor(0x8E, 0x8E, 0x8E), 1);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), tabs, {250, 185}), QColor(Qt::white), 0);
    // Its caption is dim grey: the darkest pixels of the caption are.
    QColor darkest(Qt::white);
    for (int y = 2; y < 18; ++y)
        for (int x = 8; x < 134; ++x)
            if (const QColor c = pixelOf(image, dialog.get(), bar, {x, y});
                c.lightness() < darkest.lightness())
                darkest = c;
    COMPARE_COLOUR(darkest, QColor(0x69, 0x69, 0x69), 6);

    movePointerTo(bar, {200, 10});
    QTRY_VERIFY(distance(pixel(bar, {143, 15}), QColor(0x9E, 0x9E, 0x9E)) <= 2);
    COMPARE_COLOUR(pixel(bar, {143, 5}), QColor(0xB4, 0xB4, 0xB4), 2);
    // Left by the pointer, it stays light grey under the gloss rather than white.
    movePointerTo(dialog.get(), {200, 20});
    QTRY_VERIFY(distance(pixel(bar, {143, 15}), QColor(0xCF, 0xCF, 0xCF)) <= 2);
    COMPARE_COLOUR(pixel(bar, {143, 5}), QColor(0xF0, 0xF0, 0xF0), 2);
    movePointerTo(bar, {200, 10});
    QTRY_VERIFY(distance(pixel(bar, {143, 15}), QColor(0x9E, 0x9E, 0x9E)) <= 2);
    movePointerTo(dialog.get(), {200, 20});
    QTRY_VERIFY(distance(pixel(bar, {143, 15}), QColor(0xCF, 0xCF, 0xCF)) <= 2);
    // The selected tab the pointer passed over keeps its plain face.
    movePointerTo(bar, {70, 10});
    movePointerTo(dialog.get(), {200, 20});
    QTest::qWait(50);
    COMPARE_COLOUR(pixel(bar, {3, 5}), QColor(0xFE, 0xFE, 0xFE), 1);
    // Chosen and then left for the other tab, it shows the grey the pointer left it with.
    tabs->setCurrentIndex(1);
    QTRY_VERIFY(distance(pixel(bar, {3, 15}), QColor(0xCF, 0xCF, 0xCF)) <= 2);
}

void DialogLookTest::editFieldsFillSelectionAndFocusGlow() {
    auto* field = control<QLineEdit>("edtUsuario");
    QCOMPARE(field->text(), QStringLiteral("SYSDBA"));
    QImage image = shot(dialog.get());
    COMPARE_COLOUR(pixelOf(image, dialog.get(), field, {200, 11}), QColor(0xFE, 0xFE, 0xFE), 0);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), field, {0, 11}), QColor(0xC0, 0xC0, 0xC0), 0);
    COMPARE_COLOUR(pixelOf(image, dialog.get(), field, {242, 11}), QColor(0xC0, 0xC0, 0xC0), 0);

    // The glow belongs to the focused field only.
    auto* path = control<QLineEdit>("edtCaminhoBanco");
    QVERIFY(path->hasFocus());
    QVERIFY(path->graphicsEffect() && path->graphicsEffect()->isEnabled());
    QVERIFY(field->graphicsEffect() && !field->graphicsEffect()->isEnabled());
    const QColor calm = pixelOf(image, dialog.get(), field, {-2, 11});
    field->setFocus(Qt::TabFocusReason); // selects the whole text, as a tab into it does
    QTRY_VERIFY(field->graphicsEffect()->isEnabled());
    QVERIFY(!path->graphicsEffect()->isEnabled());
    QVERIFY(field->hasSelectedText());
    image = shot(dialog.get());
    const QColor glowing = pixelOf(image, dialog.get(), field, {-2, 11});
    QVERIFY2(glowing.red() < calm.red() - 10 && glowing.blue() > glowing.red() + 10,
             qPrintable(describe(calm) + " became " + describe(glowing)));

    // The selection: translucent blue laid over the field's fill, the text still black.
    const QRect inside(field->mapTo(dialog.get(), QPoint(2, 2)), QSize(60, 18));
    QVERIFY(countNear(image, inside, QColor(148, 196, 238), 3) >= 30);
}

void DialogLookTest::dropDownTurnsBlueUnderThePointer() {
    control<QTabWidget>("tbcConfig")->setCurrentIndex(1);
    auto* list = control<QComboBox>("ppbFiliais");
    QTRY_VERIFY(list->isVisible());
    QImage image = shot(dialog.get());
    COMPARE_COLOUR(pixelOf(image, dialog.get(), list, {120, 5}), glossedUpperHalf(QColor(0xEF, 0xEF, 0xEF)),
                   2);
    // Two triangles at the right, pointing up and down.
    QVERIFY(pixelOf(image, dialog.get(), list, {233, 8}).lightness() < 0x40);
    QVERIFY(pixelOf(image, dialog.get(), list, {233, 14}).lightness() < 0x40);
    QVERIFY(pixelOf(image, dialog.get(), list, {233, 11}).lightness() > 0x80); // the gap between them

    movePointerTo(list, {120, 11});
    QTRY_VERIFY(distance(pixel(list, {120, 5}), glossedUpperHalf(QColor(0xA5, 0xD9, 0xFF))) <= 2);
    movePointerTo(dialog.get(), {200, 20});
    QTRY_VERIFY(distance(pixel(list, {120, 5}), glossedUpperHalf(QColor(0xEF, 0xEF, 0xEF))) <= 2);

    QCOMPARE(list->palette().color(QPalette::Text), QColor(0x05, 0x05, 0x05));
    QVERIFY(list->graphicsEffect());
}

void DialogLookTest::disabledControlsAreFaded() {
    // "Local": the server field and the protocol list are disabled.
    auto* protocol = control<QComboBox>("ppbProtocolo");
    auto* server = control<QLineEdit>("edtServidor");
    QVERIFY(!protocol->isEnabled() && !server->isEnabled());
    QImage image = shot(dialog.get());
    const int fadedTriangle = pixelOf(image, dialog.get(), protocol, {106, 8}).lightness();
    const int fadedBorder = pixelOf(image, dialog.get(), server, {0, 11}).lightness();

    control<QRadioButton>("rdbRemota")->setChecked(true);
    QVERIFY(protocol->isEnabled() && server->isEnabled());
    image = shot(dialog.get());
    const int triangle = pixelOf(image, dialog.get(), protocol, {106, 8}).lightness();
    const int border = pixelOf(image, dialog.get(), server, {0, 11}).lightness();
    QVERIFY2(fadedTriangle > triangle + 40,
             qPrintable(QStringLiteral("%1 %2").arg(fadedTriangle).arg(triangle)));
    QVERIFY2(fadedBorder > border + 10, qPrintable(QStringLiteral("%1 %2").arg(fadedBorder).arg(border)));
}

void DialogLookTest::buttonsHoverPressAndFocus() {
    auto* button = control<QPushButton>("btnCancelar");
    const QPoint upper(4, 5), edge(2, 11);
    QVERIFY(button->graphicsEffect() && !button->graphicsEffect()->isEnabled());
    QImage image = shot(dialog.get());
    COMPARE_COLOUR(pixelOf(image, dialog.get(), button, upper), glossedUpperHalf(QColor(0xEF, 0xEF, 0xEF)),
                   2);
    const int restingEdge = pixelOf(image, dialog.get(), button, edge).lightness();

    movePointerTo(button, {40, 11});
    QTRY_VERIFY(distance(pixel(button, upper), glossedUpperHalf(QColor(0xA9, 0xA9, 0xA9))) <= 2);

    // Pressed, it glows inwards: darker just inside its edge.
    QTest::mousePress(dialog->windowHandle(), Qt::LeftButton, {},
                      button->mapTo(dialog.get(), QPoint(40, 11)));
    QVERIFY(button->isDown());
    const int pressedEdge = pixel(button, edge).lightness();
    QVERIFY2(pressedEdge < restingEdge - 20,
             qPrintable(QStringLiteral("%1 %2").arg(pressedEdge).arg(restingEdge)));
    // Releasing elsewhere does not click it.
    QTest::mouseMove(dialog->windowHandle(), QPoint(200, 20));
    QTest::mouseRelease(dialog->windowHandle(), Qt::LeftButton, {}, QPoint(200, 20));
    QVERIFY(dialog->isVisible());
    QTRY_VERIFY(distance(pixel(button, upper), glossedUpperHalf(QColor(0xEF, 0xEF, 0xEF))) <= 2);
    // The press gave it the focus, and with the focus its glow.
    QVERIFY(button->hasFocus());
    QVERIFY(button->graphicsEffect()->isEnabled());
    control<QLineEdit>("edtUsuario")->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!button->graphicsEffect()->isEnabled());
}

void DialogLookTest::pickerPlateFadesInUnderThePointer() {
    auto* picker = control<QToolButton>("spbCaminhoBanco");
    const QPoint upper(12, 4);
    COMPARE_COLOUR(pixel(picker, upper), QColor(Qt::white), 0); // nothing at rest: the page shows
    QCOMPARE(picker->palette().color(QPalette::ButtonText), QColor(Qt::black));
    movePointerTo(picker, {12, 11});
    QTRY_VERIFY(distance(pixel(picker, upper), glossedUpperHalf(QColor(0x69, 0x69, 0x69))) <= 3);
    movePointerTo(dialog.get(), {200, 20});
    QTRY_VERIFY(distance(pixel(picker, upper), QColor(Qt::white)) == 0);
}

void DialogLookTest::radioButtonsDotHoverAndFocus() {
    auto* local = control<QRadioButton>("rdbLocal");
    auto* remote = control<QRadioButton>("rdbRemota");
    const QPoint centre(10, 9);
    QImage image = shot(dialog.get());
    COMPARE_COLOUR(pixelOf(image, dialog.get(), local, centre), QColor(0x69, 0x69, 0x69), 1); // the dot
    const QColor empty = pixelOf(image, dialog.get(), remote, centre);
    QVERIFY2(empty.lightness() > 0xD8 && distance(empty, QColor(0xE5, 0xE5, 0xE5)) <= 6,
             qPrintable(describe(empty)));

    movePointerTo(remote, {30, 9});
    QTRY_VERIFY(distance(pixel(remote, centre), QColor(182, 215, 239)) <= 6);
    movePointerTo(dialog.get(), {200, 20});
    QTRY_VERIFY(distance(pixel(remote, centre), empty) <= 1);

    // Focused, a dim grey halo rings the circle.
    const int calm = pixel(local, {2, 9}).lightness();
    local->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(local->hasFocus());
    const int haloed = pixel(local, {2, 9}).lightness();
    QVERIFY2(haloed < calm - 25, qPrintable(QStringLiteral("%1 %2").arg(calm).arg(haloed)));
}

void DialogLookTest::keyboardFocusShowsADottedMark_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<int>("page");
    QTest::addColumn<QColor>("colour"); // the caption's
    QTest::newRow("Salvar") << "btnSalvar" << false << 0 << DimGrey;
    QTest::newRow("Cancelar") << "btnCancelar" << false << 0 << DimGrey;
    QTest::newRow("Local") << "rdbLocal" << false << 0 << QColor(Qt::black);
    // "Remota" is no Tab stop: the arrow keys reach it (below).
    QTest::newRow("protocol list") << "ppbProtocolo" << true << 0 << ListText;
    QTest::newRow("branch list") << "ppbFiliais" << false << 1 << ListText;
}

void DialogLookTest::keyboardFocusShowsADottedMark() {
    QFETCH(QString, name);
    QFETCH(bool, remote);
    QFETCH(int, page);
    QFETCH(QColor, colour);
    prepare(remote, page);
    auto* target = control<QWidget>(name.toUtf8().constData());
    QVERIFY(dottedLines(target->grab().toImage(), colour).none());

    QVERIFY(tabTo(target));
    const DottedLines mark = dottedLines(target->grab().toImage(), colour);
    const QRect frame = mark.frame();
    QVERIFY2(frame.width() >= 10 && frame.height() >= 10, qPrintable(mark.describe()));
    QVERIFY(QRect(QPoint(0, 0), target->size()).contains(frame));
    if (auto* list = qobject_cast<QComboBox*>(target)) // clear of the triangles
        QVERIFY2(frame.right() < list->width() - 14, qPrintable(mark.describe()));

    QTest::keyClick(target, Qt::Key_Tab);
    QVERIFY(!target->hasFocus());
    const DottedLines left = dottedLines(target->grab().toImage(), colour);
    QVERIFY2(left.none(), qPrintable(left.describe()));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QVERIFY(target->hasFocus());
    QCOMPARE(dottedLines(target->grab().toImage(), colour).frame(), frame);
}

void DialogLookTest::clickGivesTheFocusWithoutAMark_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("Cancelar") << "btnCancelar" << false << DimGrey;
    QTest::newRow("Local") << "rdbLocal" << false << QColor(Qt::black);
    QTest::newRow("Remota") << "rdbRemota" << false << QColor(Qt::black);
    QTest::newRow("protocol list") << "ppbProtocolo" << true << ListText;
}

void DialogLookTest::clickGivesTheFocusWithoutAMark() {
    QFETCH(QString, name);
    QFETCH(bool, remote);
    QFETCH(QColor, colour);
    prepare(remote, 0);
    auto* target = control<QWidget>(name.toUtf8().constData());
    // The keyboard was used last, elsewhere: the click still shows nothing.
    QVERIFY(tabTo(control<QWidget>("edtUsuario")));
    pressAndLetGoElsewhere(target);
    QTRY_VERIFY(target->hasFocus());
    const DottedLines lines = dottedLines(target->grab().toImage(), colour);
    QVERIFY2(lines.none(), qPrintable(lines.describe()));
    // The glow is the focus's, whatever gave it.
    if (QGraphicsEffect* glow = target->graphicsEffect())
        QVERIFY(glow->isEnabled());
}

// A focus moved by a key, through the dialog's handlers (the arrow keys
// between the radio buttons too), carries the mark with it.
void DialogLookTest::keyHandlersCarryTheMark_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("clicked"); // else reached by Tab
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("Right from Salvar, tabbed to")
        << "btnSalvar" << false << 0 << int(Qt::Key_Right) << "btnCancelar" << DimGrey;
    QTest::newRow("Right from Salvar, clicked")
        << "btnSalvar" << true << 0 << int(Qt::Key_Right) << "btnCancelar" << DimGrey;
    QTest::newRow("Left from Cancelar, clicked")
        << "btnCancelar" << true << 0 << int(Qt::Key_Left) << "btnSalvar" << DimGrey;
    QTest::newRow("Enter in the folder field, clicked")
        << "edtPasta" << true << 1 << int(Qt::Key_Return) << "ppbFiliais" << ListText;
    QTest::newRow("Left from Remota, clicked")
        << "rdbRemota" << true << 0 << int(Qt::Key_Left) << "rdbLocal" << QColor(Qt::black);
}

void DialogLookTest::keyHandlersCarryTheMark() {
    QFETCH(QString, from);
    QFETCH(bool, clicked);
    QFETCH(int, page);
    QFETCH(int, key);
    QFETCH(QString, to);
    QFETCH(QColor, colour);
    prepare(from == u"rdbRemota", page);
    auto* start = control<QWidget>(from.toUtf8().constData());
    auto* target = control<QWidget>(to.toUtf8().constData());
    if (clicked)
        pressAndLetGoElsewhere(start);
    else
        QVERIFY(tabTo(start));
    QVERIFY(start->hasFocus());
    QTest::keyClick(start, Qt::Key(key));
    QVERIFY(target->hasFocus());
    const DottedLines mark = dottedLines(target->grab().toImage(), colour);
    QVERIFY2(mark.frame().isValid(), qPrintable(mark.describe()));
    QVERIFY(dottedLines(start->grab().toImage(), colour).none());
}

void DialogLookTest::logoIsFittedAndCentred() {
    auto* logo = control<ImageBox>("imgLogo");
    QCOMPARE(logo->size(), QSize(50, 17));
    QCOMPARE(logo->picture().size(), QSize(763, 209));
    QCOMPARE(logo->pictureRect(), QRect(0, 1, 50, 14));
}

ORVANTO_TEST_MAIN(DialogLookTest)
#include "tst_dialoglook.moc"
