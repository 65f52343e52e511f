#include "panel/TFrmOrvanto.h"

#include "ui_TFrmOrvanto.h"

#include "config_dialog/TfrmConfig.h"
#include "panel/GadgetCatalogue.h"
#include "panel/Launcher.h"
#include "panel/TfrmPrints.h"
#include "platform/ErrorReport.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "ui/Fonts.h"
#include "ui/Geometry.h"
#include "ui/Look.h"
#include "ui/WindowDrag.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

TFrmOrvanto* FrmOrvanto = nullptr;

namespace {
// A check box takes a click anywhere in its rectangle, not only on its tick
// and caption.
class WholeBoxClickStyle : public QProxyStyle {
public:
    explicit WholeBoxClickStyle(QObject* owner)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {
        setParent(owner);
    }
    QRect subElementRect(SubElement element, const QStyleOption* option,
                         const QWidget* widget) const override {
        if (element == SE_CheckBoxClickRect)
            return option->rect;
        return QProxyStyle::subElementRect(element, option, widget);
    }
};
} // namespace

TFrmOrvanto::TFrmOrvanto(Settings& values, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TFrmOrvanto>()), m_values(values) {
    ui->setupUi(this);
    auto* wholeBox = new WholeBoxClickStyle(this);
    for (QCheckBox* box : findChildren<QCheckBox*>())
        box->setStyle(wholeBox);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(641, 584);
    applyPanelLook(this);
    // The titles size themselves to their text in the font they got.
    fitToText(ui->lblTitulo);
    fitToText(ui->lblTitulo2);

    // A press on the list, the divider, a check box or a button is no drag,
    // whichever button it is and whether or not the control takes it.
    for (QWidget* w :
         std::initializer_list<QWidget*>{ui->scbChecks, ui->lnDivisor, ui->ckbTodos, ui->spbFechar,
                                         ui->btnIniciarGadgets, ui->spbConfigurações})
        w->setAttribute(Qt::WA_NoMousePropagation);
    // The gear lies on the settings button; let a click on it reach the button.
    ui->Image1->setAttribute(Qt::WA_TransparentForMouseEvents);

    for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row) {
        QCheckBox* box = findChild<QCheckBox*>(QLatin1String(GadgetCatalogue[row].checkBox));
        Q_ASSERT(box);
        m_boxes[row] = box;
        box->installEventFilter(this);
        connect(box, &QCheckBox::clicked, this, [this, row] { runGuarded([&] { gadgetBoxClick(row); }); });
    }
    ui->ckbTodos->installEventFilter(this);
    ui->btnIniciarGadgets->installEventFilter(this);
    connect(ui->ckbTodos, &QCheckBox::toggled, this, [this] { runGuarded([&] { ckbTodosChange(); }); });
    connect(ui->btnIniciarGadgets, &QPushButton::clicked, this,
            [this] { runGuarded([&] { btnIniciarGadgetsClick(); }); });
    connect(ui->spbConfigurações, &QToolButton::clicked, this,
            [this] { runGuarded([&] { spbConfiguraçõesClick(); }); });
    connect(ui->spbFechar, &QToolButton::clicked, this, [this] { runGuarded([&] { spbFecharClick(); }); });

    connect(&tmrMover, &QTimer::timeout, this, [this] { tmrMoverTimer(); });
    auto* handles = new DragHandles(
        this, [this](QObject* s, Qt::MouseButton b, Qt::MouseButtons sh) { imgPainelMouseDown(s, b, sh); },
        [this](QObject* s, Qt::MouseButton b, Qt::MouseButtons sh) { imgPainelMouseUp(s, b, sh); });
    handles->add(ui->imgPainel);
    handles->add(ui->imgGadget);

    FormCreate();
}

TFrmOrvanto::~TFrmOrvanto() = default;

void TFrmOrvanto::FormCreate() {
    CarregaConfig(m_values);
    ReadSettingsFileThrough();
}

void TFrmOrvanto::ckbTodosChange() {
    const bool state = ui->ckbTodos->isChecked();
    // Exactly the check-box class: the 13 gadget boxes and "Todos" itself.
    for (QCheckBox* box : findChildren<QCheckBox*>()) {
        if (box->metaObject() == &QCheckBox::staticMetaObject)
            box->setChecked(state);
    }
}

void TFrmOrvanto::gadgetBoxClick(std::size_t row) {
    // Only a mouse click shows the preview; a key toggles the box alone.
    if (m_mouseClickedBox != m_boxes[row])
        return;
    m_mouseClickedBox = nullptr;
    ui->imgGadget->setPicture(frmPrints->image(GadgetCatalogue[row].previewImage)->picture());
}

void TFrmOrvanto::btnIniciarGadgetsClick() {
    std::array<bool, 13> checked{};
    for (std::size_t row = 0; row < m_boxes.size(); ++row)
        checked[row] = m_boxes[row]->isChecked();
    IniciarGadgets(checked, m_values.DiretorioGadgets, this);
}

void TFrmOrvanto::spbConfiguraçõesClick() {
    struct Reset {
        ~Reset() { frmConfig = nullptr; }
    };
    std::unique_ptr<TfrmConfig> dialog;
    Reset reset; // declared after the dialog: the reference empties before it is destroyed
    dialog = std::make_unique<TfrmConfig>(this, m_values);
    frmConfig = dialog.get();
    frmConfig->move(roundHalfEven(x() + width() / 2.0 - frmConfig->width() / 2.0),
                    roundHalfEven(y() + height() / 2.0 - frmConfig->height() / 2.0));
    frmConfig->resize(frmConfig->width(), 390);
    VerificaMargens();
    frmConfig->exec();
}

void TFrmOrvanto::VerificaMargens() {
    const QSize screen = platform().screenSize();
    if (frmConfig->x() < 0)
        frmConfig->move(0, frmConfig->y());
    if (frmConfig->x() + frmConfig->width() > screen.width())
        frmConfig->move(screen.width() - frmConfig->width(), frmConfig->y());
    if (frmConfig->y() < 0)
        frmConfig->move(frmConfig->x(), 0);
    if (frmConfig->y() + frmConfig->height() > screen.height())
        frmConfig->move(frmConfig->x(), screen.height() - frmConfig->height());
}

void TFrmOrvanto::spbFecharClick() {
    QCoreApplication::quit();
}

void TFrmOrvanto::imgPainelMouseDown(QObject*, Qt::MouseButton, Qt::MouseButtons shift) {
    m_drag.mouseDown(FrmOrvanto ? FrmOrvanto : this, shift);
}

void TFrmOrvanto::imgPainelMouseUp(QObject*, Qt::MouseButton, Qt::MouseButtons) {
    m_drag.mouseUp();
}

void TFrmOrvanto::tmrMoverTimer() {
    m_drag.tick(FrmOrvanto ? FrmOrvanto : this);
}

bool TFrmOrvanto::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->btnIniciarGadgets) {
        // A focused push button is pressed by Enter too, as on the original
        // platform (Qt does so only inside dialogs). Once per stroke: a held
        // key must not start the gadgets again and again.
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return false;
        if (!key->isAutoRepeat())
            ui->btnIniciarGadgets->click();
        return true;
    }
    auto* box = qobject_cast<QCheckBox*>(watched);
    if (!box)
        return false;
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        m_mouseClickedBox = box; // the click that may follow came from the mouse
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            m_mouseClickedBox = nullptr;
            box->toggle(); // Enter toggles a box as Space does
            return true;
        }
        m_mouseClickedBox = nullptr;
    }
    return false;
}
