#include "server/stores/ReportStore.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "server/storage/SqlBuilder.h"

namespace krv::server {

namespace {

const char* const kWeekdays[] = {"Domingo", "Segunda", "Terça", "Quarta", "Quinta", "Sexta", "Sábado"};

const std::vector<FieldDef> kRequisitionItemFields{
    {"CDFILIAL", FieldType::String, 4},    {"NMFILIAL", FieldType::String, 30},  {"DTREQUI", FieldType::DateTime, 0},
    {"NMDIASEMANA", FieldType::String, 7}, {"CDSERVFILI", FieldType::String, 5}, {"NMSERVICO", FieldType::String, 40},
    {"CDTURNO", FieldType::String, 1},     {"NMTURNO", FieldType::String, 10},   {"QTCOMENSAIS", FieldType::Integer, 0},
    {"DSCARDAPIO", FieldType::String, 0},  {"CDPRODUTO", FieldType::String, 13}, {"NMPRODUTO", FieldType::String, 60},
    {"SGUNIDADE", FieldType::String, 4},   {"QTMATPRIMA", FieldType::Float, 0},  {"QTCONSFIXO", FieldType::Float, 0},
    {"QTCONSPERCAP", FieldType::Float, 0}, {"QTTOTAL", FieldType::Float, 0},     {"QTEMBALAGEM", FieldType::Float, 0}};

// Column positions of the output rows.
enum { kDay = 2, kWeekday, kService, kServiceName, kShift, kShiftName, kDiners, kMenu, kCode, kName };

using Block = std::tuple<DateTime, std::string, std::string>;  // day, service, shift

std::map<Block, std::string> menus(db::Connection& c, const RequisitionReportFilter& f) {
    std::map<Block, std::string> out;
    c.each(
        "SELECT m.dtcardapio, m.cdservfili, m.cdturno, d.nmprato FROM menu m JOIN dish d ON d.cdprato = m.cdprato"
        " WHERE m.cdfilial = ? AND m.dtcardapio BETWEEN ? AND ? ORDER BY m.cdprato",
        {f.branch, f.from, f.to}, [&](const db::ResultRow& row) {
            std::string& dishes = out[{row.dateTime(0), row.text(1), row.text(2)}];
            dishes += (dishes.empty() ? "" : ", ") + row.text(3);
        });
    return out;
}

// One character of a name for comparing: Latin-1 letters of Portuguese folded to their
// lower-case base letter; anything else as it comes.
unsigned foldedAt(const std::string& s, size_t& i) {
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    if (c != 0xC3 || i >= s.size()) return c;
    const unsigned char t = static_cast<unsigned char>(s[i++]) | 0x20;  // lower case of U+00C0..U+00DF
    static const char kBase[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty";     // U+00E0..U+00FF
    const unsigned code = t - 0xA0;
    return code < 32 ? static_cast<unsigned char>(kBase[code]) : t;
}

int compareFolded(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const unsigned x = foldedAt(a, i), y = foldedAt(b, j);
        if (x != y) return x < y ? -1 : 1;
    }
    return (i < a.size()) - (j < b.size());
}

// The rows by block (day, service, shift), then by code, or by the code's first
// `levelChars` characters and the name; `codes` holds each row's bare product code.
std::vector<Row> inReportOrder(std::vector<Row> rows, const std::vector<std::string>& codes,
                               const RequisitionReportFilter& f) {
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    const size_t prefix = size_t(std::max(0, f.levelChars));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const Row& x = rows[a];
        const Row& y = rows[b];
        const DateTime xd = x[kDay].asDateTime(), yd = y[kDay].asDateTime();
        if (xd != yd) return xd < yd;
        for (int column : {kService, kShift})
            if (x[column].str() != y[column].str()) return x[column].str() < y[column].str();
        if (!f.byCode) {
            const std::string xs = codes[a].substr(0, prefix), ys = codes[b].substr(0, prefix);
            if (xs != ys) return xs < ys;
            const std::string& xn = x[kName].str();
            const std::string& yn = y[kName].str();
            if (xn != yn) return namesInOrder(xn, yn);
        }
        return codes[a] < codes[b];
    });
    std::vector<Row> sorted;
    sorted.reserve(order.size());
    for (size_t i : order) sorted.push_back(std::move(rows[i]));
    return sorted;
}

}  // namespace

bool namesInOrder(const std::string& a, const std::string& b) {
    const int folded = compareFolded(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

int pictureLength(const std::string& picture) {
    return int(std::count_if(picture.begin(), picture.end(), [](char c) { return c != '.'; }));
}

std::string applyPicture(const std::string& code, const std::string& picture) {
    std::string out;
    size_t at = 0;
    for (char p : picture) {
        if (at >= code.size()) break;
        if (p == '.')
            out += '.';
        else
            out += code[at++];
    }
    if (at < code.size()) out += '.' + code.substr(at);
    return out;
}

std::optional<std::string> ReportStore::branchName(const std::string& branch) {
    return c_.text("SELECT nmfilial FROM branch WHERE cdfilial = ?", {branch});
}

std::string ReportStore::productPicture() {
    return c_.text("SELECT dspicture FROM code_picture WHERE tppicture = 0").value_or("");
}

DataPacket ReportStore::requisitionRows(const RequisitionReportFilter& f, std::vector<std::string>& codes) {
    DataPacket packet{kRequisitionItemFields, {}};
    const std::string branchName = this->branchName(f.branch).value_or("");
    const std::string picture = productPicture();
    db::Sql sql;
    sql("SELECT r.dtrequipedido, r.cdservfili, s.nmservico, r.cdturno, t.nmturno, n.nrcomensais,"
        " p.cdproduto, p.nmproduto, p.sgunidade,"
        " SUM(CASE WHEN i.idtipoconsumo = 'C' THEN i.qtrequisitada ELSE 0 END),"
        " SUM(CASE WHEN i.idtipoconsumo = 'F' THEN i.qtrequisitada ELSE 0 END),"
        " SUM(CASE WHEN i.idtipoconsumo = 'P' THEN i.qtrequisitada ELSE 0 END),"
        " SUM(i.qtrequisitada), p.qtembalagem"
        " FROM requisition r"
        " JOIN requisition_item i ON i.nrrequipedido = r.nrrequipedido"
        " JOIN product p ON p.cdproduto = i.cdproduto"
        " JOIN service s ON s.cdfilial = r.cdfilial AND s.cdservfili = r.cdservfili"
        " JOIN shift t ON t.cdfilial = r.cdfilial AND t.cdservfili = r.cdservfili AND t.cdturno = r.cdturno"
        " LEFT JOIN diners_forecast n ON n.cdfilial = r.cdfilial AND n.cdservfili = r.cdservfili"
        "  AND n.cdturno = r.cdturno AND n.dtprevisao = r.dtrequipedido"
        " WHERE r.cdfilial = ? AND r.dtrequipedido BETWEEN ? AND ?"
        " AND r.cdservfili IN (SELECT sl.cdservfili FROM service_list_item sl WHERE sl.nrlista = ?)"
        " AND EXISTS (SELECT 1 FROM shift_list_item tl WHERE tl.nrlista = ? AND tl.cdservfili = r.cdservfili"
        " AND tl.cdturno = r.cdturno)",
        {f.branch, f.from, f.to, f.serviceList, f.shiftList});
    if (f.groupings) sql(" AND (r.cdgrupprod, r.cdsubgrprod) IN ").inPairs(*f.groupings);
    sql(" GROUP BY r.dtrequipedido, r.cdservfili, s.nmservico, r.cdturno, t.nmturno, n.nrcomensais,"
        " p.cdproduto, p.nmproduto, p.sgunidade, p.qtembalagem");
    c_.each(sql.text(), sql.params(), [&](const db::ResultRow& row) {
        const DateTime day = row.dateTime(0);
        packet.rows.push_back({f.branch, branchName, day, kWeekdays[day.dayOfWeek()], row.text(1), row.text(2),
                               row.text(3), row.text(4), row.isNull(5) ? Variant() : Variant(row.integer(5)), Variant(),
                               applyPicture(row.text(6), picture), row.text(7), row.text(8), row.real(9), row.real(10),
                               row.real(11), row.real(12), row.real(13)});
        codes.push_back(row.text(6));
    });
    return packet;
}

void ReportStore::addMenus(DataPacket& packet, const RequisitionReportFilter& f) {
    const auto dishes = menus(c_, f);
    for (Row& row : packet.rows) {
        const auto found = dishes.find({row[kDay].asDateTime(), row[kService].str(), row[kShift].str()});
        if (found != dishes.end()) row[kMenu] = Variant(found->second);
    }
}

DataPacket ReportStore::requisitionItems(const RequisitionReportFilter& f) {
    if (f.groupings && f.groupings->empty()) return DataPacket{kRequisitionItemFields, {}};
    std::vector<std::string> codes;  // the bare codes, for ordering
    DataPacket packet = requisitionRows(f, codes);
    if (f.withMenu) addMenus(packet, f);
    // Ordered here rather than in SQL: the two engines collate names differently.
    packet.rows = inReportOrder(std::move(packet.rows), codes, f);
    return packet;
}

}  // namespace krv::server
