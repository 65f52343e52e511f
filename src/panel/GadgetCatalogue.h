#pragma once

#include <QString>

#include <array>

// The fixed catalogue of gadgets. Row order is list order and start order.
struct Gadget {
    const char* checkBox;     // the panel's check box
    const char* caption;      // UTF-8
    const char* previewImage; // image of the preview store
    const char* executable;   // file name inside the gadgets folder
};

inline constexpr std::array<Gadget, 13> GadgetCatalogue{{
    {"ckbAbcProdutos", "Produtos Mais Vendidos", "imgAbcProdutos", "Tarvelo.exe"},
    {"ckbMirendo", "Saldo Disponível/Circulante", "imgMirendo", "Mirendo.exe"},
    {"ckbCalvoria", "Produtos em Ponto Crítico", "imgPontoCritico", "Calvoria.exe"},
    {"ckbTendenciaVendas", "Tendencia de Vendas", "imgTendVendas", "Dunavel.exe"},
    {"ckbOstrela", "Ranking de Vendedores", "imgAbcVendedor", "Ostrela.exe"},
    {"ckbFendoral", "Ranking de Grupos", "imgAbcGrupo", "Fendoral.exe"},
    {"ckbPivelli", "Vendas por Hora", "imgVendaHoras", "Pivelli.exe"},
    {"ckbFluxoCaixa", "Fluxo de Caixa", "imgFluxoCaixa", "Quarnet.exe"},
    {"ckbContasReceber", "Contas a Receber", "imgContasReceber", "Brisolen.exe"},
    {"ckbContasPagar", "Contas a Pagar", "imgContasPagar", "Salvenor.exe"},
    {"ckbRentabilidade", "Rentabilidade", "imgRentabilidade", "Torvanis.exe"},
    {"ckbContasCaixa", "Contas Caixa", "imgContaCaixa", "Elmorad.exe"},
    {"ckbIndiceInadimplencia", "Índice de Inadimplência", "imgIndiceInadimplencia", "Varnelo.exe"},
}};
