#include "Startup.h"

#include "BusyWait.h"
#include "Database.h"
#include "ErrorReport.h"
#include "FirstFrame.h"
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

#include <memory>

namespace {
void setProgramIcon(QApplication& app) {
    QIcon icon;
    for (int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/images/icon/orvanto-%1.png").arg(size), QSize(size, size));
    app.setWindowIcon(icon);
}
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
    afterFirstFrame(panel.get(), [&app] { setProgramIcon(app); });
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
