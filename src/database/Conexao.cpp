#include "database/Conexao.h"

#include "settings/DatabaseLocation.h"
#include "settings/Settings.h"

#include <thread>

std::unique_ptr<TDatabase> BancoGadgets;
std::unique_ptr<TTransaction> TransacGadgets;

std::chrono::milliseconds ConnectRetryPause{500};
int ConnectMaxAttempts = 20;

std::optional<QString> ConectaBancoDados(Settings& values, bool IniciandoPC) {
    // Objects left by a test that ended early are released here.
    BancoGadgets = std::make_unique<TDatabase>();
    TransacGadgets = std::make_unique<TTransaction>();
    CarregaConfig(values);
    if (values.CaminhoBanco.isEmpty() || values.Usuario.isEmpty() || values.Senha.isEmpty())
        return std::nullopt;
    return testConnection(
        DatabaseNameFor(values.LocRem, values.Protocolo, values.Servidor, values.CaminhoBanco),
        values.Usuario, values.Senha, IniciandoPC);
}

std::optional<QString> testConnection(const QString& databaseName, const QString& user,
                                      const QString& password, bool repeated) {
    if (!BancoGadgets || !TransacGadgets) {
        BancoGadgets = std::make_unique<TDatabase>();
        TransacGadgets = std::make_unique<TTransaction>();
    }
    std::optional<QString> failure;
    for (int attempt = 1; !BancoGadgets->Connected() && attempt <= (repeated ? ConnectMaxAttempts : 1);
         ++attempt) {
        if (attempt > 1) // the pause, like the attempts, lets the windows paint
            runBlockingCall([pause = ConnectRetryPause] { std::this_thread::sleep_for(pause); });
        try {
            openConnection(*BancoGadgets, *TransacGadgets, databaseName, user, password);
        } catch (const std::exception& error) {
            if (!repeated) // silent by design when repeated: the next attempt follows
                failure = errorText(error);
        }
    }
    DesconectarBancoDados();
    return failure;
}

void DesconectarBancoDados() {
    // Both objects go even when closing fails; its error then goes on.
    struct Release {
        ~Release() {
            BancoGadgets.reset();
            TransacGadgets.reset();
        }
    } release;
    if (BancoGadgets)
        BancoGadgets->Close();
    if (TransacGadgets)
        TransacGadgets->Commit();
}
