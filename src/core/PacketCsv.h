#pragma once
#include <string>

#include "core/DataPacket.h"

namespace krv {

// The packet as a spreadsheet set to Brazilian Portuguese opens it: UTF-8 with a byte-order
// mark, a header of field names, ";" between cells, CRLF after each line, decimal commas,
// dates as DD/MM/AAAA (with the time when not midnight); null and numbers no cell can
// hold (NaN, infinities) as empty cells.
std::string csvText(const DataPacket& packet);

}  // namespace krv
