#include "Startup.h"

#include "BusyWait.h"
#include "Database.h"
#include "ErrorReport.h"
#include "Geometry.h"
#include "Platform.h"
#include "SettingsError.h"
#include "TFrmOrvanto.h"
#include "TfrmPrints.h"
#include "Fonts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
void setProgramIcon(QApplication& app) {
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/images/icon/orvanto-%1.png").arg(size), QSize(size, size));
    app.setWindowIcon(icon);
}

// Runs a step once a window has drawn its first frame: what that frame
// does not show waits for it.
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
                m_step();
                deleteLater();
            });
        }
        return false;
    }

private:
    QWidget* m_window;
    std::function<void()> m_step;
};
} // namespace

int runOrvanto(QApplication& app) {
    ensureTahoma();

    std::unique_ptr<TFrmOrvanto> panel;
    try {
        panel = std::make_unique<TFrmOrvanto>();
    } catch (const std::exception& error) {
        setProgramIcon(app);
        const auto* known = dynamic_cast<const SettingsError*>(&error);
        platform().messageBox(MessageKind::Error, QCoreApplication::applicationName(),
                              known ? known->text() : QString::fromUtf8(error.what()));
        return 1;
    }
    FrmOrvanto = panel.get();
    // The windows keep painting while the database client waits.
    setBlockingCallRunner(runWhilePainting);
    const QSize screen = platform().screenSize();
    panel->move(roundHalfEven((screen.width() - panel->width()) / 2.0),
                roundHalfEven((screen.height() - panel->height()) / 2.0));
    // The icon shows in task bars only; its files are read after the first frame.
    new AfterFirstFrame(panel.get(), [&app] { setProgramIcon(app); });
    panel->show();

    auto prints = std::make_unique<TfrmPrints>();
    frmPrints = prints.get();

    const int status = app.exec();

    frmPrints = nullptr;
    prints.reset();
    FrmOrvanto = nullptr;
    panel.reset();
    setBlockingCallRunner({});
    return status;
}
