#include "panel/Launcher.h"

#include "panel/GadgetCatalogue.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/ShownError.h"

#include <QFileInfo>

void IniciarGadgets(const std::array<bool, 13>& checked, QString& DiretorioGadgets, QWidget* owner) {
    if (DiretorioGadgets.isEmpty()) {
        ShowMessage(QStringLiteral("Diretório das Gadgets não informado!\r\n"
                                   "Informe o diretório das Gadgets em 'Configurações'."));
        return;
    }
    DiretorioGadgets = WithFolderSeparator(DiretorioGadgets);
    if (!QFileInfo(DiretorioGadgets).isDir()) {
        ShowMessage(QStringLiteral("Não foi encontrado o diretório informado!\r\n"
                                   "Confira se o caminho da pasta das Gadgets foi informado corretamente."));
        return;
    }
    try {
        for (std::size_t row = 0; row < GadgetCatalogue.size(); ++row) {
            if (checked[row])
                platform().startProgram(DiretorioGadgets + QLatin1String(GadgetCatalogue[row].executable),
                                        owner);
        }
    } catch (const std::exception& error) {
        ShowMessage(QStringLiteral("Ocorreu um erro ao Inicializar as Gadgets!\r\n") + errorText(error));
    }
}
