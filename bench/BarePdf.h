#pragma once
// What the report benchmarks compare the engine with: the same lines drawn with bare QPainter
// calls on a PDF written into memory, so the disk weighs on neither side.
#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <vector>

#include "core/DataPacket.h"

namespace krv::bench {

struct MemoryPdf {
    explicit MemoryPdf(const QPageLayout& page) {
        out.open(QIODevice::WriteOnly);
        writer.setPageLayout(page);
        writer.setResolution(600);
    }
    QByteArray bytes;
    QBuffer out{&bytes};
    QPdfWriter writer{&out};
};

// One line per row, 64 lines a page, each cell in its column: `edges` are the columns' left
// edges and, last, the right edge, in any unit; `right` aligns a column right. `text(row, c)`
// gives the cell. Returns the PDF's size.
template <class Text>
qsizetype PaintBareLines(const QPageLayout& page, const std::vector<Row>& rows, const std::vector<double>& edges,
                         const std::vector<bool>& right, Text text) {
    MemoryPdf pdf(page);
    QPainter painter(&pdf.writer);
    const double scale = pdf.writer.logicalDpiX() / 72.0, width = page.paintRect(QPageLayout::Point).width();
    QFont font;
    font.setPixelSize(8);
    int line = 0;
    for (const Row& row : rows) {
        if (line == 64) {
            pdf.writer.newPage();
            line = 0;
        }
        painter.save();
        painter.scale(scale, scale);
        painter.setFont(font);
        const double y = 80 + line * 11;
        for (size_t c = 0; c + 1 < edges.size(); ++c)
            painter.drawText(QRectF(edges[c] / edges.back() * width + 2, y,
                                    (edges[c + 1] - edges[c]) / edges.back() * width - 4, 11),
                             int((right[c] ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter), text(row, int(c)));
        painter.restore();
        ++line;
    }
    painter.end();
    return pdf.bytes.size();
}

}  // namespace krv::bench
