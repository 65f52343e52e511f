#include "ui/WindowDrag.h"

#include "platform/Platform.h"

#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

WindowDrag::WindowDrag(QTimer& tmrMover) : m_timer(tmrMover) {
    m_timer.setObjectName(QStringLiteral("tmrMover"));
    m_timer.setInterval(1);
    m_timer.setTimerType(Qt::PreciseTimer);
}

void WindowDrag::mouseDown(QWidget* window, Qt::MouseButtons shiftState) {
    if (!(shiftState & Qt::LeftButton))
        return;
    Capturar = true;
    m_timer.start();
    MouseDownInic = platform().cursorPos();
    PosIniObjeto = window->pos();
}

void WindowDrag::mouseUp() {
    Capturar = false;
    m_timer.stop();
}

void WindowDrag::tick(QWidget* window) {
    MouseDownAtu = platform().cursorPos();
    if (!Capturar)
        return;
    window->move(MouseDownAtu.x() - MouseDownInic.x() + PosIniObjeto.x(), window->y());
    window->move(window->x(), MouseDownAtu.y() - MouseDownInic.y() + PosIniObjeto.y());
}

DragHandles::DragHandles(QObject* parent, Handler down, Handler up)
    : QObject(parent), m_down(std::move(down)), m_up(std::move(up)) {}

void DragHandles::add(QWidget* handle) {
    handle->installEventFilter(this);
}

bool DragHandles::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_down(watched, mouse->button(), mouse->buttons());
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        m_up(watched, mouse->button(), mouse->buttons());
        return true;
    }
    return false;
}
