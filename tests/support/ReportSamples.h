#pragma once
#include <QString>
#include <vector>

#include "core/DataPacket.h"

namespace krv::test {

// Rows of the requisition report as the server sends them: `blocks` blocks (day, service,
// shift) of `itemsPerBlock` products each; product i of a block has i+1 of raw material and
// 0,5 per capita, in packages of 2 (the first product: 50). The first block's first product
// is "Açúcar cristal", with its menu; the second and third, "Sal refinado" and "Flocos de
// milho", have the letter pairs a font may draw as one glyph.
DataPacket RequisitionReportRows(int blocks, int itemsPerBlock);

// The fields of the order document (KRV521) as the server sends them, with no row yet.
DataPacket OrderDocumentFields();

// The text of a PDF as pdftotext -layout gives it; pages end with a form feed.
QString PdfText(const QString& path);

// Where each word of a PDF lies, as pdftotext -bbox gives it, in points.
struct PdfWord {
    int page;  // 1-based
    double pageWidth;
    double xMin, xMax;
    QString text;
};
std::vector<PdfWord> PdfWords(const QString& path);

// Page `page` (1-based) of a PDF drawn into `png`, for a look. False when it could not be.
bool SavePdfPage(const QString& pdf, int page, const QString& png);

}  // namespace krv::test
