// Two uses, both as a separate process beside the tests:
//   settings_writer              saves the settings over and over, each time
//                                with other values, until it is killed (the
//                                tests kill it at random moments);
//   settings_writer count KEY N  counts KEY of section [Contadores] up N
//                                times, one read, write and release each, as
//                                a gadget keeps its own entries;
//   settings_writer save         saves once; on failure prints the error
//                                text and ends with status 1.
#include "settings/IniFile.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"
#include "settings/Variaveis.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

int countUp(const QString& key, int rounds) {
    const QString section = QStringLiteral("Contadores");
    for (int i = 0; i < rounds; ++i) {
        IniFile ini(settingsFilePath());
        const int value = ini.read(section, key).toInt();
        ini.write(section, key, QString::number(value + 1));
        ini.release();
    }
    return 0;
}

int saveOnce() {
    LocRem = QStringLiteral("L");
    Usuario = QStringLiteral("SYSDBA");
    Senha = QStringLiteral("segredo");
    try {
        SalvaIni();
    } catch (const ShownError& error) {
        std::fputs(error.text().toUtf8().constData(), stdout);
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 2 && QByteArrayView(argv[1]) == "save")
        return saveOnce();
    if (argc == 4 && QByteArrayView(argv[1]) == "count")
        return countUp(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    for (unsigned long i = 0;; ++i) {
        const QString suffix = QString::number(i);
        LocRem = QStringLiteral("L");
        Comp = QStringLiteral("0");
        CaminhoBanco = QStringLiteral("/dados/erp") + suffix + QStringLiteral(".fdb");
        Usuario = QStringLiteral("SYSDBA");
        Senha = QStringLiteral("segredo") + suffix;
        DiretorioGadgets = QStringLiteral("/opt/gadgets/");
        Filial = QStringLiteral("01");
        SalvaIni();
    }
}
