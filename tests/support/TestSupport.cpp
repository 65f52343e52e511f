#include "TestSupport.h"

#include "Variaveis.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(content);
}

void clearSettingsValues() {
    for (QString* value : {&DiretorioGadgets, &Usuario, &Senha, &CaminhoBanco, &LocRem, &Comp, &Servidor,
                           &Protocolo, &ModoPainel, &Filial})
        value->clear();
}
