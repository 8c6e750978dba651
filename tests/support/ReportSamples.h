#pragma once
#include <QString>

#include "core/DataPacket.h"

namespace krv::test {

// Rows of the requisition report as the server sends them: `blocks` blocks (day, service,
// shift) of `itemsPerBlock` products each; product i of a block has i+1 of raw material and
// 0,5 per capita. The first block's first product is "Açúcar cristal", with its menu.
DataPacket RequisitionReportRows(int blocks, int itemsPerBlock);

// The text of a PDF as pdftotext -layout gives it; pages end with a form feed.
QString PdfText(const QString& path);

}  // namespace krv::test
