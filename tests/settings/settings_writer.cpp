// Saves the settings over and over, each time with other values, until it
// is killed: the tests kill it at random moments.
#include "Settings.h"
#include "Variaveis.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
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
