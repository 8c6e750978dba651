#pragma once
#include <string>

#include "core/ClientDataSet.h"

namespace krv::test {

// A selection data set like the screens' pickers use: a hidden mark column, a hidden key,
// a code and a name; row i has key "K<i>", code "<i>" and name "Nome <i>", unmarked.
inline std::vector<PersistentField> selectionFields() {
    return {
        {"IDMARCADO", FieldType::Fixed, 1, "", 3, false},
        {"CHAVE", FieldType::String, 9, "", 0, false},
        {"CODIGO", FieldType::String, 5, "Código", 0, true},
        {"NOME", FieldType::String, 40, "Nome", 0, true},
    };
}

inline void fillSelection(TClientDataSet& ds, int rows) {
    DataPacket p;
    for (const PersistentField& f : ds.Fields()) p.fields.push_back({f.name, f.type, f.size});
    p.rows.reserve(rows);
    for (int i = 0; i < rows; ++i)
        p.rows.push_back({Variant("N"), Variant("K" + std::to_string(i)), Variant(std::to_string(i)),
                          Variant("Nome " + std::to_string(i))});
    ds.SetData(std::move(p));
}

}  // namespace krv::test
