#pragma once

#include <QObject>

#include <functional>

class QTimer;
class QWidget;

// Moving a frameless window by dragging its background. The press stores
// where the window and the cursor were; every tick of the window's timer
// moves it by the cursor's total travel since the press, so late ticks
// cause no drift.
void dragMouseDown(QWidget* window, QTimer* timer, Qt::MouseButtons shiftState);
void dragMouseUp(QTimer* timer);
void dragTimerTick(QWidget* window);

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
