#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "spreadsheet/workbook.h"

namespace preview {

// The generated workbook as the preview needs it beyond the picture it was handed: the same picture drawn
// for a screen with more device pixels to a pixel, and the totals for those who cannot see the picture.
// Read through the engine; no widgets.
class GeneratedSheet {
public:
    // Nothing when the file cannot be read as a workbook or holds no sheet.
    static std::optional<GeneratedSheet> read(const QString& path);

    // The active sheet's used range as the picture export draws it, with `ratio` device pixels to each
    // pixel of 96 dpi: the image carries the ratio, so its size in those pixels is the export's. A null
    // image when there is nothing to draw or the drawing fails.
    QImage picture(qreal ratio) const;

    // The totals and the net worth as the sheet shows them (B17, B26, B28 with their formats), each after
    // its label in column A: "Total Assets: $1,500.00. Total Liabilities: ...".
    QString totals() const;

private:
    explicit GeneratedSheet(spreadsheet::Workbook workbook) : workbook_(std::move(workbook)) {}

    spreadsheet::Workbook workbook_;
};

}  // namespace preview
