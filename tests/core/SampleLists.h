#pragma once
// A small requisition list shaped like the one the order screen loads.
#include "core/ClientDataSet.h"

namespace krv::test {

inline std::vector<PersistentField> requisitionFields() {
    return {{"IDMARCADO", FieldType::Fixed, 1},   {"NRREQUIPEDIDO", FieldType::Float, 0},
            {"NMSERVICO", FieldType::String, 40}, {"DTREQUIPEDIDO", FieldType::DateTime, 0},
            {"NRPEDEXOL", FieldType::String, 10}, {"CDFILIAL", FieldType::String, 4}};
}

struct Requisition {
    const char* mark;
    double number;
    const char* service;
    int day;
    const char* order;  // "" or nullptr: no order yet
};

inline DataPacket requisitionPacket(std::initializer_list<Requisition> list) {
    DataPacket p;
    for (const PersistentField& f : requisitionFields()) p.fields.push_back({f.name, f.type, f.size});
    for (const Requisition& r : list)
        p.rows.push_back({r.mark ? Variant(r.mark) : Variant(), Variant(r.number), Variant(r.service),
                          Variant(DateTime::fromDate(2024, 3, r.day)), r.order ? Variant(r.order) : Variant(),
                          Variant("0001")});
    return p;
}

// Three open requisitions (one of them marked), one with an order, one with a blank order.
inline DataPacket sampleRequisitions() {
    return requisitionPacket({{"N", 10, "Almoço", 1, nullptr},
                              {"S", 11, "Jantar", 2, nullptr},
                              {"S", 9, "Almoço", 3, "PED001"},
                              {nullptr, 12, "Ceia", 4, ""}});
}

}  // namespace krv::test
