#include "ui/FirstFrame.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>

namespace {

class AfterFirstFrame : public QObject {
public:
    AfterFirstFrame(QWidget* window, std::function<void()> step)
        : QObject(window), m_window(window), m_step(std::move(step)) {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == m_window) {
            qApp->removeEventFilter(this);
            // Queued: the frame is flushed when this paint's pass ends, and
            // the window system takes it before the step's own requests.
            QTimer::singleShot(0, this, [this] {
                QGuiApplication::sync();
                const auto step = std::move(m_step);
                deleteLater();
                step();
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_step;
};

} // namespace

void afterFirstFrame(QWidget* window, std::function<void()> step) {
    new AfterFirstFrame(window, std::move(step));
}
