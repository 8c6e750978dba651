#pragma once
#include <vector>

#include "host/models/DataSetModel.h"

namespace krv::requisition {

// The columns of an explanation of a quantity ("why this quantity?"), as the server answers
// it: for the requisition items of the order screen and for the forecast rows.
std::vector<host::GridColumn> ExplanationColumns();

}  // namespace krv::requisition
