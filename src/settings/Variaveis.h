#pragma once

#include <QPoint>
#include <QString>

#include <array>

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

// The ten settings of section Configuracoes, in the order a save writes
// them: the key, the value it holds, and whether loading reads it (Comp is
// only written: the dialog reads it itself).
struct SettingsKey {
    const char* name;
    QString* value;
    bool loaded;
};
extern const std::array<SettingsKey, 10> SettingsKeys;

// The key as a save writes it: padded with blanks to 16 characters, as the
// gadgets' own files look (readers ignore the blanks).
QString paddedKey(const char* name);

// Drag state, one set for both frameless windows (only one drags at a time).
extern QPoint PosIniObjeto;
extern QPoint MouseDownInic;
extern QPoint MouseDownAtu;
extern bool Capturar;
