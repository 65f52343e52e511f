#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QTimer;
class QWidget;

// Moving a frameless window by dragging its background, one per window. The
// press stores where the window and the cursor were; every tick of the
// window's timer (tmrMover, every millisecond) moves it by the cursor's total
// travel since the press, so late ticks cause no drift.
class WindowDrag {
public:
    // Sets the window's timer up; the window connects its tick handler.
    explicit WindowDrag(QTimer& tmrMover);

    void mouseDown(QWidget* window, Qt::MouseButtons shiftState);
    void mouseUp();
    void tick(QWidget* window);

    QPoint PosIniObjeto;
    QPoint MouseDownInic;
    QPoint MouseDownAtu;
    bool Capturar = false;

private:
    QTimer& m_timer;
};

// Routes mouse presses and releases on a window's drag handles to its two
// handlers (button, the buttons held as the shift state).
class DragHandles : public QObject {
public:
    using Handler = std::function<void(QObject* sender, Qt::MouseButton, Qt::MouseButtons)>;
    DragHandles(QObject* parent, Handler down, Handler up);
    void add(QWidget* handle);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handler m_down;
    Handler m_up;
};
