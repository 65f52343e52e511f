// Saves the settings over and over until it is killed. Every save carries a
// tag, "<round>-<n>" (round from the command line, n counting the saves), in
// two of its values, so the test can tell which save a file came from.
#include "settings/Settings.h"
#include "settings/Variaveis.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString round = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("0");
    LocRem = QStringLiteral("L");
    Comp = QStringLiteral("0");
    Usuario = QStringLiteral("SYSDBA");
    DiretorioGadgets = QStringLiteral("/opt/gadgets/");
    ModoPainel = QStringLiteral("1");
    Filial = QStringLiteral("01");
    // The test starts its clock here, so its random delays fall among the saves.
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (unsigned long n = 0;; ++n) {
        const QString tag = round + u'-' + QString::number(n);
        CaminhoBanco = QStringLiteral("/dados/erp") + tag + QStringLiteral(".fdb");
        Senha = QStringLiteral("segredo") + tag;
        SalvaIni();
    }
}
