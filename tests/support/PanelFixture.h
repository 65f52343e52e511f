#pragma once

// The gadget panel as the program builds it, for the tests and benchmarks
// that drive it: a private HOME, the tests' platform, clean settings values
// and drag state, the preview store, and the panel shown at a given place.
// The test links the panel's library.

#include "RecordingPlatform.h"
#include "TestSupport.h"
#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"
#include "settings/Settings.h"

#include <QTest>

#include <memory>

struct PanelFixture {
    ScratchHome home;
    RecordingPlatform platform;
    TfrmPrints prints;
    std::unique_ptr<TFrmOrvanto> panel;

    explicit PanelFixture(QPoint at = QPoint(100, 50)) {
        // The values are the process's; each case starts afresh.
        clearSettingsValues();
        frmPrints = &prints;
        panel = std::make_unique<TFrmOrvanto>(Values);
        panel->move(at);
        panel->show();
    }
    ~PanelFixture() {
        panel.reset();
        frmPrints = nullptr;
    }
    PanelFixture(const PanelFixture&) = delete;
    PanelFixture& operator=(const PanelFixture&) = delete;

    // Whether the panel reached the screen; QVERIFY it in init().
    bool exposed() { return QTest::qWaitForWindowExposed(panel.get()); }
};
