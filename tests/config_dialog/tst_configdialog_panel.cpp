// The dialog as the panel opens it: a query error at creation is reported
// and the dialog still opens, with an empty branch list.

#include "DialogFixture.h"

#include "panel/TFrmOrvanto.h"
#include "panel/TfrmPrints.h"

#include <QTimer>

class TestConfigDialogFromPanel : public QObject {
    Q_OBJECT

private slots:
    void queryErrorAtOpeningIsReportedAndThePanelGoesOn();
};

void TestConfigDialogFromPanel::queryErrorAtOpeningIsReportedAndThePanelGoesOn() {
    DialogFixture fx;
    TfrmPrints prints;
    frmPrints = &prints;
    TFrmOrvanto panel(Values);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    auto* configuracoes = child<QToolButton>(&panel, "spbConfigurações");

    // The error is reported, then the dialog opens with no branches, placed as usual.
    const QString wrong = fx.database(QStringLiteral("semtabela.fdb"), {}, false);
    setLocalValues(wrong);
    writeSettings({{"LocRem", "L"}, {"Comp", "0"}, {"CaminhoBanco", wrong}});
    bool opened = false;
    QTimer::singleShot(0, &panel, [&] {
        if (!frmConfig)
            return;
        opened = fx.platform.messages.size() == 1 && list(frmConfig, "ppbFiliais")->count() == 0 &&
                 edit(frmConfig, "edtCaminhoBanco")->text() == wrong && frmConfig->height() == 390;
        frmConfig->btnCancelarClick();
    });
    QTest::mouseClick(configuracoes, Qt::LeftButton, {}, QPoint(40, 10));
    QVERIFY(opened);
    QCOMPARE(fx.platform.messages.size(), 1);
    QCOMPARE(fx.platform.messages.front().kind, MessageKind::Plain);
    QVERIFY2(fx.platform.messages.front().text.contains(QStringLiteral("FILIAIS")),
             qPrintable(fx.platform.messages.front().text));
    QVERIFY(!frmConfig);
    QVERIFY(panel.findChildren<QDialog*>().isEmpty());
    QVERIFY(noDialogLeft());

    // The next click opens the dialog as usual.
    setLocalValues(fx.database(QStringLiteral("erp.fdb"), TwoBranches));
    opened = false;
    QTimer::singleShot(0, &panel, [&] {
        if (!frmConfig)
            return;
        opened = list(frmConfig, "ppbFiliais")->count() == 2 && frmConfig->height() == 390;
        frmConfig->btnCancelarClick();
    });
    QTest::mouseClick(configuracoes, Qt::LeftButton, {}, QPoint(40, 10));
    QVERIFY(opened);
    QVERIFY(!frmConfig);
    QCOMPARE(fx.platform.messages.size(), 1);
    frmPrints = nullptr;
}

ORVANTO_TEST_MAIN(TestConfigDialogFromPanel)
#include "tst_configdialog_panel.moc"
