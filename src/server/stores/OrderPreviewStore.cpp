#include "server/stores/OrderPreviewStore.h"

#include <cstdio>

#include "server/storage/SqlBuilder.h"
#include "server/stores/OrderStore.h"

namespace krv::server {

const std::vector<FieldDef>& previewFields() {
    static const std::vector<FieldDef> fields{
        {"NRSEQPEDIDO", FieldType::Integer, 0},  {"CDFILIOPELOG", FieldType::String, 4},
        {"NMFILIOPELOG", FieldType::String, 30}, {"DTPEDIDO", FieldType::DateTime, 0},
        {"CDFILIAL", FieldType::String, 4},      {"CDSERVFILI", FieldType::String, 5},
        {"CDTURNO", FieldType::String, 1},       {"CDPRODUTO", FieldType::String, 10},
        {"NMPRODUTO", FieldType::String, 60},    {"SGUNIDADE", FieldType::String, 4},
        {"QTNECESSARIA", FieldType::Float, 0},   {"QTPEDIDO", FieldType::Float, 0},
        {"QTEMBALAGEM", FieldType::Float, 0},    {"QTEMBALAGENS", FieldType::Float, 0},
        {"QTSOBRA", FieldType::Float, 0},        {"QTSALDO", FieldType::Float, 0},
        {"QTREQARRED", FieldType::Integer, 0}};
    return fields;
}

namespace {

// Rows bound per statement, far below every engine's limit.
constexpr size_t kRowsPerInsert = 400;

// FNV-1a: the same digest in every server process, whatever its build, unlike std::hash.
class Digest {
public:
    void add(const std::string& text) {
        for (unsigned char c : text) hash_ = (hash_ ^ c) * 1099511628211ull;
        hash_ = (hash_ ^ 0xff) * 1099511628211ull;  // ends each piece, so "ab"+"c" is not "a"+"bc"
    }
    std::string hex() const {
        char text[17];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
        return text;
    }

private:
    uint64_t hash_ = 14695981039346656037ull;
};

std::string exactly(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

}  // namespace

DataPacket OrderPreviewStore::lines(const OrderRequest& request) {
    // The lines are summed as the generation sums them, by order, product and package, and
    // only then joined to the order's and the product's names: grouping by the names as well
    // made the sort of a large company's month several times wider.
    return c_.packet(numberedOrders(request.perShift) +
                         ", lines AS ("
                         " SELECT n.nrpedexol, i.cdproduto, " +
                         orderLineQuantities(request.roundToPackage) +
                         ", p.qtembalagem FROM numbered n"
                         " LEFT JOIN requisition_item i ON i.nrrequipedido = n.nrrequipedido"
                         " LEFT JOIN product p ON p.cdproduto = i.cdproduto"
                         " GROUP BY n.nrpedexol, i.cdproduto, p.qtembalagem),"
                         " orders AS (SELECT DISTINCT nrpedexol, cdfiliopelog, dtpedido, cdfilial, cdservfili, cdturno"
                         " FROM numbered)"
                         " SELECT o.nrpedexol, o.cdfiliopelog, b.nmfilial, o.dtpedido, o.cdfilial, o.cdservfili,"
                         " o.cdturno, l.cdproduto, p.nmproduto, p.sgunidade, l.qtnecessaria, l.qtpedido, l.qtembalagem,"
                         " NULL, NULL, 0, 0"
                         " FROM lines l JOIN orders o ON o.nrpedexol = l.nrpedexol"
                         " JOIN branch b ON b.cdfilial = o.cdfiliopelog"
                         " LEFT JOIN product p ON p.cdproduto = l.cdproduto"
                         " ORDER BY l.nrpedexol, l.cdproduto",
                     numberedOrdersParams(request, 0), previewFields());
}

DataPacket OrderPreviewStore::nettedLines(const std::vector<std::pair<int64_t, const OrderStore::Group*>>& orders,
                                          const std::vector<OrderStore::Line>& lines, int64_t roundedRequisitions) {
    std::map<std::string, std::string> suppliers;
    std::map<std::string, std::pair<std::string, std::string>> products;
    for (const auto& [number, group] : orders) suppliers[group->supplier];
    for (const OrderStore::Line& line : lines) products[line.product];
    const auto read = [&](const char* sql, const auto& keys, const auto& fill) {
        std::vector<std::string> codes;
        for (const auto& [code, unused] : keys) codes.push_back(code);
        db::inChunks(codes, [&](const std::vector<std::string>& chunk) {
            db::Sql query;
            query(sql).in(chunk);
            c_.each(query.text(), query.params(), fill);
        });
    };
    read("SELECT cdfilial, nmfilial FROM branch WHERE cdfilial IN ", suppliers,
         [&](const db::ResultRow& row) { suppliers[row.text(0)] = row.text(1); });
    std::map<std::string, double> packages;
    read("SELECT cdproduto, nmproduto, sgunidade, qtembalagem FROM product WHERE cdproduto IN ", products,
         [&](const db::ResultRow& row) {
             products[row.text(0)] = {row.text(1), row.text(2)};
             packages[row.text(0)] = row.real(3);
         });
    const std::map<int64_t, const OrderStore::Group*> byNumber(orders.begin(), orders.end());
    DataPacket packet{previewFields(), {}};
    packet.rows.reserve(lines.size());
    for (const OrderStore::Line& line : lines) {
        const OrderStore::Group& group = *byNumber.at(line.order);
        const auto& [name, unit] = products[line.product];
        packet.rows.push_back({Variant(line.order), Variant(group.supplier), Variant(suppliers[group.supplier]),
                               Variant(group.day), Variant(group.branch), Variant(group.service),
                               group.shift ? Variant(*group.shift) : Variant(), Variant(line.product), Variant(name),
                               Variant(unit), Variant(line.need), Variant(line.bought), Variant(packages[line.product]),
                               Variant(), Variant(), Variant(line.fromStock), Variant(roundedRequisitions)});
    }
    return packet;
}

OrderPreviewStore::Digests OrderPreviewStore::openListed(const OrderRequest& request) {
    std::map<int64_t, Digest> digests;
    c_.each(
        "SELECT r.nrrequipedido, i.cdproduto, i.idtipoconsumo, i.qtrequisitada"
        " FROM requisition_list_item l JOIN requisition r ON r.nrrequipedido = l.nrrequipedido"
        " LEFT JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " WHERE l.nrlista = ? AND r.nrpedexol IS NULL AND r.dtrequipedido BETWEEN ? AND ?"
        " ORDER BY r.nrrequipedido, i.cdproduto, i.idtipoconsumo",
        {request.list, request.period.start, request.period.end}, [&](const db::ResultRow& row) {
            Digest& digest = digests[row.integer(0)];
            if (row.isNull(1)) return;
            digest.add(row.text(1));
            digest.add(row.text(2));
            digest.add(exactly(row.real(3)));
        });
    Digests texts;
    for (const auto& [number, digest] : digests) texts.emplace(number, digest.hex());
    return texts;
}

std::optional<OrderPreviewStore::Remembered> OrderPreviewStore::remembered(int64_t list) {
    const auto arguments = c_.text("SELECT dsargumentos FROM order_preview WHERE nrlista = ?", {list});
    if (!arguments) return std::nullopt;
    Remembered preview{*arguments, {}};
    c_.each("SELECT nrrequipedido, dsitens FROM order_preview_item WHERE nrlista = ?", {list},
            [&](const db::ResultRow& row) { preview.requisitions.emplace(row.integer(0), row.text(1)); });
    return preview;
}

void OrderPreviewStore::remember(int64_t list, const Remembered& preview) {
    forget(list);
    c_.execute("INSERT INTO order_preview (nrlista, dsargumentos) VALUES (?, ?)", {list, preview.arguments});
    std::vector<std::pair<int64_t, std::string>> rows(preview.requisitions.begin(), preview.requisitions.end());
    for (size_t from = 0; from < rows.size(); from += kRowsPerInsert) {
        const size_t count = std::min(kRowsPerInsert, rows.size() - from);
        std::string sql = "INSERT INTO order_preview_item (nrlista, nrrequipedido, dsitens) VALUES ";
        db::Params params;
        for (size_t i = from; i < from + count; ++i) {
            sql += i == from ? "(?, ?, ?)" : ", (?, ?, ?)";
            params.insert(params.end(), {list, rows[i].first, rows[i].second});
        }
        c_.execute(sql, params);
    }
}

void OrderPreviewStore::forget(int64_t list) {
    // The items go with it (ON DELETE CASCADE).
    c_.execute("DELETE FROM order_preview WHERE nrlista = ?", {list});
}

}  // namespace krv::server
