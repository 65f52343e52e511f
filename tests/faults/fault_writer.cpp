// Saves the settings over and over until it is killed. Every save carries a
// tag, "<round>-<n>" (round from the command line, n counting the saves), in
// two of its values, so the test can tell which save a file came from.
#include "settings/Settings.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv) {
    Settings Values;
    QCoreApplication app(argc, argv);
    const QString round = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("0");
    Values.LocRem = QStringLiteral("L");
    Values.Comp = QStringLiteral("0");
    Values.Usuario = QStringLiteral("SYSDBA");
    Values.DiretorioGadgets = QStringLiteral("/opt/gadgets/");
    Values.ModoPainel = QStringLiteral("1");
    Values.Filial = QStringLiteral("01");
    // The test starts its clock here, so its random delays fall among the saves.
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    for (unsigned long n = 0;; ++n) {
        const QString tag = round + u'-' + QString::number(n);
        Values.CaminhoBanco = QStringLiteral("/dados/erp") + tag + QStringLiteral(".fdb");
        Values.Senha = QStringLiteral("segredo") + tag;
        SalvaIni(Values);
    }
}
