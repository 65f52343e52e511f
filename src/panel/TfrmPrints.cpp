#include "panel/TfrmPrints.h"

#include "ui/ImageBox.h"

TfrmPrints* frmPrints = nullptr;

namespace {
struct PreviewSlot {
    const char* name;
    int x, y;
};
constexpr PreviewSlot Slots[] = {
    {"imgAbcProdutos", 1, 1},
    {"imgTendVendas", 1, 143},
    {"imgVendaHoras", 1, 287},
    {"imgMirendo", 1, 424},
    {"imgAbcGrupo", 227, 1},
    {"imgContaCaixa", 227, 143},
    {"imgIndiceInadimplencia", 227, 287},
    {"imgRentabilidade", 227, 424},
    {"imgAbcVendedor", 450, 1},
    {"imgContasPagar", 450, 143},
    {"imgContasReceber", 450, 287},
    {"imgFluxoCaixa", 450, 424},
    {"imgPontoCritico", 672, 1},
};
} // namespace

TfrmPrints::TfrmPrints(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("frmPrints"));
    setWindowTitle(QStringLiteral("Form1"));
    resize(896, 575);
    for (const PreviewSlot& slot : Slots) {
        auto* box = new ImageBox(this);
        box->setObjectName(QString::fromLatin1(slot.name));
        box->setGeometry(slot.x, slot.y, 219, 140);
        box->setFit(true);
        box->setSource(QStringLiteral(":/images/previews/%1.png").arg(QLatin1String(slot.name)));
    }
}

ImageBox* TfrmPrints::image(const char* name) const {
    return findChild<ImageBox*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}
