#include "render_helpers.h"

using namespace spreadsheet;

namespace render_test {

Workbook sheetBook(bool gridlines) {
    Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1")).window.showGridlines = gridlines;
    return workbook;
}

quint16 formatWith(Workbook& workbook, const std::function<void(CellFormat&)>& change) {
    CellFormat format = workbook.formats[15];
    change(format);
    return workbook.addFormat(format);
}

quint16 fontWith(Workbook& workbook, const QString& name, int points, bool bold) {
    Font font;
    font.name = name;
    font.heightTwips = quint16(points * 20);
    font.bold = bold;
    return workbook.addFont(font);
}

void put(Workbook& workbook, CellRef at, Value value, quint16 xf) {
    Cell& cell = workbook.sheets[0].cellForWriting(at);
    cell.value = std::move(value);
    cell.xf = xf;
}

void setWidth(Worksheet& sheet, int column, quint16 units) {
    ColumnInfo info;
    info.firstColumn = info.lastColumn = column;
    info.width = units;
    sheet.columns.push_back(info);
}

void setHeight(Worksheet& sheet, int row, quint16 twips) {
    sheet.rows[row].heightTwips = twips;
    sheet.rows[row].customHeight = true;
}

bool isInk(QRgb pixel) {
    return qGray(pixel) < 128;
}

QRect inkBounds(const QImage& image, const QRect& area) {
    QRect bounds;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            if (isInk(image.pixel(x, y)))
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

int inkCount(const QImage& image, const QRect& area) {
    int count = 0;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y)
        for (int x = clipped.left(); x <= clipped.right(); ++x)
            count += isInk(image.pixel(x, y));
    return count;
}

bool columnHasInk(const QImage& image, int x, int top, int bottom) {
    for (int y = top; y <= bottom; ++y)
        if (isInk(image.pixel(x, y)))
            return true;
    return false;
}

int inkBands(const QImage& image, const QRect& area) {
    int bands = 0;
    bool previous = false;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        bool ink = false;
        for (int x = area.left(); x <= area.right() && !ink; ++x)
            ink = isInk(image.pixel(x, y));
        if (ink && !previous)
            ++bands;
        previous = ink;
    }
    return bands;
}

}  // namespace render_test
