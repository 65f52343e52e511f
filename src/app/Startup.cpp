#include "app/Startup.h"

#include "app/BusyWait.h"
#include "database/Database.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "platform/EndSignals.h"
#include "platform/ErrorReport.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"
#include "ui/FirstFrame.h"
#include "ui/Fonts.h"
#include "ui/Geometry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>

#include <memory>

namespace {
void setProgramIcon(QApplication& app) {
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/images/icon/orvanto-%1.png").arg(size), QSize(size, size));
    app.setWindowIcon(icon);
}
} // namespace

int runOrvanto(QApplication& app, Settings& values) {
    // The desktop entry the windows belong to, for their icon and name in task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("orvanto"));
    ensureTahoma();

    std::unique_ptr<TFrmOrvanto> panel;
    try {
        panel = std::make_unique<TFrmOrvanto>(values);
    } catch (const std::exception& error) {
        setProgramIcon(app);
        platform().messageBox(MessageKind::Error, QCoreApplication::applicationName(), errorText(error));
        return 1;
    }
    FrmOrvanto = panel.get();
    // The windows keep painting while the database client waits.
    setBlockingCallRunner(runWhilePainting);
    const QSize screen = platform().screenSize();
    panel->move(roundHalfEven((screen.width() - panel->width()) / 2.0),
                roundHalfEven((screen.height() - panel->height()) / 2.0));
    // The icon shows in task bars only; its files are read after the first frame.
    afterFirstFrame(panel.get(), [&app] { setProgramIcon(app); });
    panel->show();

    auto prints = std::make_unique<TfrmPrints>();
    frmPrints = prints.get();

    // A signal may already have been taken by a wait of the start (its
    // loop ended, not the application's): then there is nothing to run.
    const int status = endRequested() ? 0 : app.exec();

    frmPrints = nullptr;
    prints.reset();
    FrmOrvanto = nullptr;
    panel.reset();
    setBlockingCallRunner({});
    return status;
}
