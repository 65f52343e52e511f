// A settings file of 10 MB: 100,000 gadget sections with ours among them.
// Loading, saving and opening the dialog all work on it, and a save keeps
// every other section byte for byte. (How fast is the benchmarks' business.)

#include "DialogFixture.h"

#include "settings/IniFile.h"

namespace {

constexpr int Sections = 100000;

QByteArray gadgetSections(int from, int to) {
    QByteArray text;
    text.reserve(qsizetype(to - from) * 120);
    for (int i = from; i < to; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "[Gadget" + n + "]\r\n";
        text +=
            "PosX=" + QByteArray::number(i % 1920) + "\r\nPosY = " + QByteArray::number(i % 1080) + " \r\n";
        text += i % 2 ? "Senha=da gadget " + n + "\r\n" : "; nota da gadget " + n + "\n";
        text += "Atualizacao=" + QByteArray::number(60 + i % 600) + "\r\nTema=escuro\r\nFonte=Tahoma,8\r\n";
        text += "Cor=#FF204060\r\n";
    }
    return text;
}

} // namespace

class LargeSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        before = gadgetSections(0, Sections / 2);
        after = gadgetSections(Sections / 2, Sections);
        QVERIFY(before.size() + after.size() >= 10 * 1024 * 1024);
    }
    void init() { fx = std::make_unique<DialogFixture>(); }
    void cleanup() {
        fx.reset();
        QVERIFY2(noDialogLeft(), "a settings dialog was left over");
    }

    void loadAndSaveKeepEverySection() {
        writeFile(settingsFilePath(), before +
                                          settingsText({{"LocRem", "R"},
                                                        {"Comp", "1"},
                                                        {"Servidor", "10.0.0.1"},
                                                        {"Protocolo", "0"},
                                                        {"CaminhoBanco", "/dados/erp.fdb"},
                                                        {"Usuario", "SYSDBA"},
                                                        {"Senha", "antiga"},
                                                        {"DiretorioGadgets", "/opt/gadgets/"},
                                                        {"ModoPainel", "2"},
                                                        {"Filial", "03"}}) +
                                          after);
        CarregaConfig(Values);
        QCOMPARE(Values.Senha, QStringLiteral("antiga")); // ours, not the gadgets' "Senha" entries
        QCOMPARE(Values.Servidor, QStringLiteral("10.0.0.1"));
        QCOMPARE(Values.Filial, QStringLiteral("03"));
        QCOMPARE(Values.ModoPainel, QStringLiteral("2"));

        Values.Senha = QStringLiteral("nova");
        Values.Comp = QStringLiteral("0");
        SalvaIni(Values);
        const QByteArray expected = before +
                                    settingsText({{"LocRem", "R"},
                                                  {"Comp", "0"},
                                                  {"Servidor", "10.0.0.1"},
                                                  {"Protocolo", "0"},
                                                  {"CaminhoBanco", "/dados/erp.fdb"},
                                                  {"Usuario", "SYSDBA"},
                                                  {"Senha", "nova"},
                                                  {"DiretorioGadgets", "/opt/gadgets/"},
                                                  {"ModoPainel", "2"},
                                                  {"Filial", "03"}}) +
                                    after;
        // Compared whole rather than with QCOMPARE, whose report of 10 MB would drown the log.
        const QByteArray saved = readFile(settingsFilePath());
        QVERIFY2(saved == expected, "the save changed more than its own entries");
    }

    void newSectionAfterAllOfThem() {
        writeFile(settingsFilePath(), before + after);
        setLocalValues(QStringLiteral("/dados/erp.fdb"));
        SalvaIni(Values);
        const QByteArray saved = readFile(settingsFilePath());
        QVERIFY2(saved.startsWith(before + after), "a gadget section changed");
        QCOMPARE(saved.mid(before.size() + after.size()), settingsText({{"LocRem", "L"},
                                                                        {"Comp", ""},
                                                                        {"Servidor", ""},
                                                                        {"Protocolo", ""},
                                                                        {"CaminhoBanco", "/dados/erp.fdb"},
                                                                        {"Usuario", "SYSDBA"},
                                                                        {"Senha", "masterkey"},
                                                                        {"DiretorioGadgets", ""},
                                                                        {"ModoPainel", ""},
                                                                        {"Filial", ""}}));
    }

    void dialogOpensWithTheFieldsFromTheFile() {
        const QString db = fx->database(QStringLiteral("erp.fdb"), TwoBranches);
        writeFile(settingsFilePath(), before +
                                          settingsText({{"LocRem", "L"},
                                                        {"Comp", "0"},
                                                        {"CaminhoBanco", db},
                                                        {"Usuario", "SYSDBA"},
                                                        {"Senha", "masterkey"},
                                                        {"DiretorioGadgets", "/opt/gadgets/"},
                                                        {"Filial", "02"}}) +
                                          after);
        CarregaConfig(Values);
        auto d = openDialog();
        QCOMPARE(edit(d.get(), "edtCaminhoBanco")->text(), db);
        QCOMPARE(edit(d.get(), "edtPasta")->text(), QStringLiteral("/opt/gadgets/"));
        QCOMPARE(edit(d.get(), "edtSenha")->text(), QStringLiteral("masterkey"));
        QCOMPARE(list(d.get(), "ppbFiliais")->currentText(), QStringLiteral("02 - FILIAL CENTRO"));
        QVERIFY(fx->platform.messages.isEmpty());

        edit(d.get(), "edtConfSenha")->setText(QStringLiteral("masterkey"));
        QTest::mouseClick(control<QPushButton>(d.get(), "btnSalvar"), Qt::LeftButton);
        QVERIFY2(fx->platform.messages.isEmpty(), qPrintable(fx->platform.texts().join(u'|')));
        QVERIFY(!d->isVisible());
        const QByteArray saved = readFile(settingsFilePath());
        QVERIFY2(saved.startsWith(before) && saved.endsWith(after), "a gadget section changed");
    }

private:
    std::unique_ptr<DialogFixture> fx;
    QByteArray before;
    QByteArray after;
};

ORVANTO_TEST_MAIN(LargeSettingsTest)
#include "tst_largesettings.moc"
