#include "ordergen/TfrmPreviaPedidos.h"

#include <QHeaderView>
#include <QPushButton>

#include "ordergen/Contagem.h"

namespace krv::ordergen {

TfrmPreviaPedidos::TfrmPreviaPedidos(Variant previa, QWidget* parent) : QDialog(parent), modelo(std::move(previa)) {
    setupUi(this);
    mostraArvore();
    btnGerar->setText("Gerar " + Contagem(Pedidos(), "pedido", "pedidos"));
    QString resumo = Contagem(Pedidos(), "pedido", "pedidos") + " com " + Contagem(Itens(), "item", "itens") +
                     ". Nada foi gravado ainda.";
    if (const int arredondadas = modelo.RequisicoesArredondadas(); arredondadas > 0)
        resumo += "\n" + Contagem(arredondadas, "requisição já arredondada", "requisições já arredondadas") +
                  QString::fromUtf8(" em embalagens: suas sobras não são levadas adiante.");
    lblResumo->setText(resumo);
    connect(btnGerar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    btnCancelar->setFocus();
}

// Each order's line spans the columns, as a title over its products.
void TfrmPreviaPedidos::mostraArvore() {
    tvwPedidos->setModel(&modelo);
    tvwPedidos->expandAll();
    for (int pedido = 0; pedido < modelo.Pedidos(); ++pedido) tvwPedidos->setFirstColumnSpanned(pedido, {}, true);
    QHeaderView* titulos = tvwPedidos->header();
    titulos->setStretchLastSection(false);
    titulos->setSectionResizeMode(PreviaModel::cProduto, QHeaderView::Stretch);
    for (int c = PreviaModel::cUnidade; c <= PreviaModel::cEmbalagens; ++c)
        titulos->setSectionResizeMode(c, QHeaderView::ResizeToContents);
}

}  // namespace krv::ordergen
