#pragma once

#include "settings/Settings.h"
#include "ui/WindowDrag.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

namespace Ui {
class TFrmOrvanto;
}
class QCheckBox;

// The gadget panel: the frameless main window with the gadget list, the
// preview of the gadget clicked last, and the buttons. It works on the
// settings values it is lent, which outlive it.
class TFrmOrvanto : public QWidget {
public:
    explicit TFrmOrvanto(Settings& values, QWidget* parent = nullptr);
    ~TFrmOrvanto() override;

    // Handlers, named after the control and the event they answer.
    void FormCreate();
    void ckbTodosChange();
    void gadgetBoxClick(std::size_t row); // the 13 box click handlers
    void btnIniciarGadgetsClick();
    void spbConfiguraçõesClick();
    void spbFecharClick();
    void imgPainelMouseDown(QObject* sender, Qt::MouseButton button, Qt::MouseButtons shift);
    void imgPainelMouseUp(QObject* sender, Qt::MouseButton button, Qt::MouseButtons shift);
    void tmrMoverTimer();

    QCheckBox* gadgetBox(std::size_t row) const { return m_boxes[row]; }
    QTimer tmrMover;
    const WindowDrag& drag() const { return m_drag; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void VerificaMargens();

    std::unique_ptr<Ui::TFrmOrvanto> ui;
    std::array<QCheckBox*, 13> m_boxes{};
    QCheckBox* m_mouseClickedBox = nullptr;
    Settings& m_values;
    WindowDrag m_drag{tmrMover};
};

extern TFrmOrvanto* FrmOrvanto;
