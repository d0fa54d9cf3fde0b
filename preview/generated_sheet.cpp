#include "preview/generated_sheet.h"

#include <QPainter>
#include <QStringList>
#include <cmath>

#include "spreadsheet/error.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"

namespace preview {

namespace {

// A sharper picture is a nicety; one this large is not worth the memory.
constexpr qint64 kMaxDevicePixels = 64'000'000;

struct Total {
    int row;  // 0-based: rows 17, 26 and 28 of the sheet
    const char* label;
};
constexpr Total kTotals[] = {{16, "Total Assets"}, {25, "Total Liabilities"}, {27, "Net Worth"}};

// What a cell shows, without the blank gaps and fills that only line it up.
QString shownText(const spreadsheet::Workbook& workbook, const spreadsheet::Cell* cell) {
    if (!cell)
        return {};
    const auto& format = workbook.formatOf(*cell);
    return spreadsheet::formatValue(workbook, format.numberFormat, cell->value).text().simplified();
}

}  // namespace

std::optional<GeneratedSheet> GeneratedSheet::read(const QString& path) {
    try {
        spreadsheet::Workbook workbook = spreadsheet::readWorkbookFile(path);
        if (workbook.sheets.empty())
            return std::nullopt;
        return GeneratedSheet(std::move(workbook));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QImage GeneratedSheet::picture(qreal ratio) const {
    const int sheet = workbook_.activeSheetIndex();
    const auto used = workbook_.sheets[static_cast<size_t>(sheet)].usedRange();
    if (!used || !(ratio > 0))
        return {};
    try {
        const QSize size = spreadsheet::rangePixelSize(workbook_, sheet, *used);
        const QSize device(static_cast<int>(std::ceil(size.width() * ratio)),
                           static_cast<int>(std::ceil(size.height() * ratio)));
        if (size.isEmpty() || qint64(device.width()) * device.height() > kMaxDevicePixels)
            return {};
        QImage image(device, QImage::Format_RGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        QPainter painter(&image);
        spreadsheet::paintRange(painter, workbook_, sheet, *used);
        return image;
    } catch (const spreadsheet::SpreadsheetError&) {
        return {};
    }
}

QString GeneratedSheet::totals() const {
    const auto& sheet = workbook_.sheets[static_cast<size_t>(workbook_.activeSheetIndex())];
    QStringList parts;
    for (const Total& total : kTotals) {
        QString label = shownText(workbook_, sheet.cell({total.row, 0}));
        if (label.isEmpty())
            label = QString::fromLatin1(total.label);
        parts << QStringLiteral("%1: %2.").arg(label, shownText(workbook_, sheet.cell({total.row, 1})));
    }
    return parts.join(QLatin1Char(' '));
}

}  // namespace preview
