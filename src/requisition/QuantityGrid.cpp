#include "requisition/QuantityGrid.h"

#include <QHeaderView>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <functional>

#include "core/NumberText.h"
#include "host/controls/NumberEdit.h"
#include "host/models/Convert.h"
#include "host/screens/Consiste.h"
#include "host/session/DBPicture.h"

namespace krv::requisition {

using namespace krv::host;

namespace {

constexpr int kInicial = Qt::UserRole + 1;  // the typed cell's text as it started

// The typed cell is edited in a number edit, so what a key cannot give is never in it.
class QuantityDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* edit = new TNumberEdit(parent);
        edit->SetDecimals(kQuantityDecimals);
        edit->OnKeyPress = [](QChar& key) {
            if (key == '-') key = QChar(0);
        };
        return edit;
    }
};

// As typed: the stored decimals, no thousands separator, so that what the cell starts with
// is what it would take back.
QString TypedText(const Variant& value) {
    if (value.isNull()) return {};
    QString text = QString::number(roundedQuantity(value.asDouble()), 'f', kQuantityDecimals);
    while (text.endsWith('0') && text.indexOf('.') < text.size() - 4) text.chop(1);
    return text.replace('.', ',');
}

QString Shown(const Variant& value, QuantityGrid::Kind kind, const std::function<QString(const Variant&)>& code) {
    if (value.isNull()) return {};
    switch (kind) {
        case QuantityGrid::Kind::Product:
            return code(value);
        case QuantityGrid::Kind::Quantity:
            return QString::fromStdString(quantityText(value.asDouble()));
        case QuantityGrid::Kind::Date:
            return ToQString(value.asDateTime().toBr());
        case QuantityGrid::Kind::Integer:
            return QString::number(value.asInt());
        case QuantityGrid::Kind::Text:
            break;
    }
    return ToQString(value);
}

bool IsNumberColumn(QuantityGrid::Kind kind) {
    return kind == QuantityGrid::Kind::Quantity || kind == QuantityGrid::Kind::Integer;
}

}  // namespace

QuantityGrid::QuantityGrid(QTableWidget& table, std::vector<Column> columns, const QString& typedTitle)
    : table_(table), columns_(std::move(columns)) {
    QStringList titles;
    for (const Column& column : columns_) titles << column.title;
    table_.setColumnCount(int(columns_.size()) + 1);
    table_.setHorizontalHeaderLabels(titles << typedTitle);
    table_.setItemDelegateForColumn(TypedColumn(), new QuantityDelegate(&table_));
    table_.verticalHeader()->hide();
    table_.horizontalHeader()->setStretchLastSection(true);
    table_.setSelectionMode(QAbstractItemView::SingleSelection);
    table_.setEditTriggers(QAbstractItemView::AllEditTriggers);
}

void QuantityGrid::Fill(DataPacket packet, const char* startField) {
    packet_ = std::move(packet);
    const auto code = ProductCodeFormat();
    const int start = startField ? packet_.fieldIndex(startField) : -1;
    table_.clearContents();
    table_.setRowCount(int(packet_.rows.size()));
    for (size_t r = 0; r < packet_.rows.size(); ++r) {
        const Row& row = packet_.rows[r];
        for (size_t c = 0; c < columns_.size(); ++c) {
            const int field = packet_.fieldIndex(columns_[c].field);
            auto* item =
                new QTableWidgetItem(field < 0 ? QString() : Shown(row[size_t(field)], columns_[c].kind, code));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            if (IsNumberColumn(columns_[c].kind)) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_.setItem(int(r), int(c), item);
        }
        const QString inicial = start < 0 ? QString() : TypedText(row[size_t(start)]);
        auto* typed = new QTableWidgetItem(inicial);
        typed->setData(kInicial, inicial);
        typed->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table_.setItem(int(r), TypedColumn(), typed);
    }
    table_.resizeColumnsToContents();
}

std::vector<QuantityGrid::Typed> QuantityGrid::Changed(const char* nameField) const {
    static const QRegularExpression quantity(
        QRegularExpression::anchoredPattern(QStringLiteral("\\d+([,.]\\d{0,%1})?").arg(kQuantityDecimals)));
    const int name = packet_.fieldIndex(nameField);
    std::vector<Typed> changed;
    for (int r = 0; r < table_.rowCount(); ++r) {
        const QTableWidgetItem* item = table_.item(r, TypedColumn());
        const QString text = item->text().trimmed();
        if (text == item->data(kInicial).toString()) continue;
        if (!quantity.match(text).hasMatch()) {
            table_.setCurrentCell(r, TypedColumn());
            MensErroEm(&table_, QString::fromUtf8("Quantidade inválida para %1: \"%2\". Informe um número maior ou "
                                                  "igual a zero, com até %3 decimais.")
                                    .arg(name < 0 ? QString() : ToQString(packet_.rows[size_t(r)][size_t(name)]), text)
                                    .arg(kQuantityDecimals));
        }
        changed.push_back({size_t(r), QString(text).replace(',', '.').toDouble()});
    }
    return changed;
}

}  // namespace krv::requisition
