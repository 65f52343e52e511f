#include "settings/Variaveis.h"

QString DiretorioGadgets;
QString Usuario;
QString Senha;
QString CaminhoBanco;
QString LocRem;
QString Comp;
QString Servidor;
QString Protocolo;
QString ModoPainel;
QString Filial;

const std::array<SettingsKey, 10> SettingsKeys{{
    {"LocRem", &LocRem, true},
    {"Comp", &Comp, false},
    {"Servidor", &Servidor, true},
    {"Protocolo", &Protocolo, true},
    {"CaminhoBanco", &CaminhoBanco, true},
    {"Usuario", &Usuario, true},
    {"Senha", &Senha, true},
    {"DiretorioGadgets", &DiretorioGadgets, true},
    {"ModoPainel", &ModoPainel, true},
    {"Filial", &Filial, true},
}};

QString paddedKey(const char* name) {
    return QString::fromLatin1(name).leftJustified(16, u' ');
}

QPoint PosIniObjeto;
QPoint MouseDownInic;
QPoint MouseDownAtu;
bool Capturar = false;
