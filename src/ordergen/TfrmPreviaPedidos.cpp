#include "ordergen/TfrmPreviaPedidos.h"

#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <cmath>

#include "host/models/Convert.h"
#include "host/session/DBPicture.h"

namespace krv::ordergen {

using namespace krv::host;

namespace {

enum Coluna { cProduto, cUnidade, cNecessario, cPedido, cSobra, cEmbalagem, cEmbalagens };

const QLocale& Brasil() {
    static const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    return brasil;
}

QString Quantidade(const Variant& value) { return Brasil().toString(value.asDouble(), 'f', 3); }

// Whole packages read as whole numbers.
QString Embalagens(const Variant& value) {
    const double embalagens = value.asDouble();
    return Brasil().toString(embalagens, 'f', embalagens == std::round(embalagens) ? 0 : 3);
}

QString Plural(int count, const char* one, const char* many) {
    return QString::number(count) + " " + (count == 1 ? one : many);
}

// "Pedido 1: 0007 CD Logístico Guarulhos, 15/03/2026, filial 0001, serviço 0004, turno 1".
QString Cabecalho(const Row& row) {
    QString text = QString("Pedido %1: %2 %3, %4, filial %5, serviço %6")
                       .arg(ToQString(row[0]), ToQString(row[1]), ToQString(row[2]),
                            ToQString(row[3].asDateTime().toBr()), ToQString(row[4]), ToQString(row[5]));
    if (!row[6].isNull()) text += ", turno " + ToQString(row[6]);
    return text;
}

}  // namespace

TfrmPreviaPedidos::TfrmPreviaPedidos(const DataPacket& previa, QWidget* parent) : QDialog(parent) {
    setupUi(this);
    preencheArvore(previa);
    btnGerar->setText("Gerar " + Plural(pedidos, "pedido", "pedidos"));
    lblResumo->setText(Plural(pedidos, "pedido", "pedidos") + " com " + Plural(itens, "item", "itens") +
                       ". Nada foi gravado ainda.");
    connect(btnGerar, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);
    btnCancelar->setFocus();
}

void TfrmPreviaPedidos::preencheArvore(const DataPacket& previa) {
    const auto codigo = ProductCodeFormat();
    QTreeWidgetItem* pedido = nullptr;
    Variant sequencia;
    QList<QTreeWidgetItem*> cabecalhos;
    for (const Row& row : previa.rows) {
        if (!pedido || row[0] != sequencia) {
            sequencia = row[0];
            pedido = new QTreeWidgetItem({Cabecalho(row)});
            cabecalhos << pedido;
            ++pedidos;
        }
        if (row[7].isNull()) continue;  // an order whose requisitions have no items
        auto* item = new QTreeWidgetItem(pedido, {codigo(row[7]) + " " + ToQString(row[8]), ToQString(row[9]),
                                                  Quantidade(row[10]), Quantidade(row[11]), Quantidade(row[14]),
                                                  Quantidade(row[12]), Embalagens(row[13])});
        for (int c = cNecessario; c <= cEmbalagens; ++c) item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
        ++itens;
    }
    // Added and spanned once the tree is whole: each item added on its own lays the whole tree
    // out again, which for the month of a large company's kitchens took many minutes.
    tvwPedidos->addTopLevelItems(cabecalhos);
    tvwPedidos->expandAll();
    for (QTreeWidgetItem* cabecalho : cabecalhos) cabecalho->setFirstColumnSpanned(true);
    tvwPedidos->header()->setStretchLastSection(false);
    tvwPedidos->header()->setSectionResizeMode(cProduto, QHeaderView::Stretch);
    for (int c = cUnidade; c <= cEmbalagens; ++c)
        tvwPedidos->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
}

}  // namespace krv::ordergen
