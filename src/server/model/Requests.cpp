#include "server/model/Requests.h"

namespace krv::server {

std::optional<ConsumptionTypes> ConsumptionTypes::parse(std::string_view code) {
    if (code.size() != 3) return std::nullopt;
    const auto flag = [&](size_t at, char letter) -> std::optional<bool> {
        if (code[at] == letter) return true;
        if (code[at] == 'X') return false;
        return std::nullopt;
    };
    const auto c = flag(0, 'C'), f = flag(1, 'F'), p = flag(2, 'P');
    if (!c || !f || !p || !(*c || *f || *p)) return std::nullopt;
    return ConsumptionTypes{*c, *f, *p};
}

std::vector<std::string> ConsumptionTypes::letters() const {
    std::vector<std::string> letters;
    if (rawMaterial) letters.emplace_back("C");
    if (fixed) letters.emplace_back("F");
    if (perCapita) letters.emplace_back("P");
    return letters;
}

const std::vector<FieldDef>& requisitionListFields() {
    static const std::vector<FieldDef> fields{{"IDMARCADO", FieldType::Fixed, 1},
                                              {"NRREQUIPEDIDO", FieldType::Float, 0},
                                              {"CDSERVFILI", FieldType::String, 5},
                                              {"NMSERVICO", FieldType::String, 40},
                                              {"CDTURNO", FieldType::String, 1},
                                              {"NMTURNO", FieldType::String, 10},
                                              {"DTREQUIPEDIDO", FieldType::DateTime, 0},
                                              {"NRSEQREQUIPEDIDO", FieldType::String, 10},
                                              {"CDGRUPPROD", FieldType::String, 10},
                                              {"CDSUBGRPROD", FieldType::String, 10},
                                              {"NMSUBGRPROD", FieldType::String, 40},
                                              {"CDFILIOPELOG", FieldType::String, 4},
                                              {"NMFILIOPELOG", FieldType::String, 30},
                                              {"NRPEDEXOL", FieldType::String, 10},
                                              {"CDFILDEST", FieldType::String, 4},
                                              {"CDFILLANC", FieldType::String, 4},
                                              {"DTREQUIPEDIDO_PESQ", FieldType::String, 10},
                                              {"FILIOPELOG", FieldType::String, 34},
                                              {"CDFILIAL", FieldType::String, 4}};
    return fields;
}

}  // namespace krv::server
