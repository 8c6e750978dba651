#include "requisition/ExplanationGrid.h"

namespace krv::requisition {

std::vector<host::GridColumn> ExplanationColumns() {
    return {{"TPCONSUMO", "Tipo", 40},        {"CDTURNO", "Turno", 44},          {"DSLINHA", "Composição", 230},
            {"NRCOMENSAIS", "Comensais", 76}, {"QTUNITARIA", "Por unidade", 84}, {"QTLINHA", "Quantidade", 90}};
}

}  // namespace krv::requisition
