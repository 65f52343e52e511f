#pragma once

#include <QPoint>
#include <QString>

// The process-wide settings values shared by the panel, the settings dialog
// and the connection test. Empty at start; read and assigned directly.
extern QString DiretorioGadgets;
extern QString Usuario;
extern QString Senha;
extern QString CaminhoBanco;
extern QString LocRem;
extern QString Comp;
extern QString Servidor;
extern QString Protocolo;
extern QString ModoPainel;
extern QString Filial;

// Drag state, one set for both frameless windows (only one drags at a time).
extern QPoint PosIniObjeto;
extern QPoint MouseDownInic;
extern QPoint MouseDownAtu;
extern bool Capturar;
