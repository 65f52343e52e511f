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

QPoint PosIniObjeto;
QPoint MouseDownInic;
QPoint MouseDownAtu;
bool Capturar = false;
