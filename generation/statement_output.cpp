#include "generation/statement_output.h"

#include <QBuffer>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>
#include <cmath>

#include "generation/cell_map.h"
#include "generation/pdf_document_info.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/page_layout.h"
#include "spreadsheet/page_printer.h"
#include "spreadsheet/renderer.h"

namespace generation {

namespace {

constexpr spreadsheet::CellRef kNameCell{kNameRow - 1, kLabelColumn - 1};

// A sharper picture than 1:1 is a nicety; one this large is not worth the memory.
constexpr qint64 kMaxSharpPixels = 64'000'000;

// What a cell shows, without the blank gaps and fills that only line it up.
QString shownText(const spreadsheet::Workbook& workbook, const spreadsheet::Cell* cell) {
    if (!cell)
        return {};
    const quint16 format =
        cell->xf < workbook.formats.size() ? workbook.formats[cell->xf].numberFormat : quint16(0);
    return spreadsheet::formatValue(workbook, format, cell->value, QLocale()).text();
}

const spreadsheet::Worksheet& activeSheet(const spreadsheet::Workbook& workbook) {
    if (workbook.sheets.empty())
        throw shell::RuntimeError(QStringLiteral("The workbook has no sheet"));
    return workbook.sheets[size_t(workbook.activeSheetIndex())];
}

spreadsheet::PrintOptions printOptions(const spreadsheet::Workbook& workbook, const QString& workbookPath) {
    spreadsheet::PrintOptions options;
    options.title = kStatementTitle;
    options.author = statementName(workbook, workbook.activeSheetIndex());
    options.filePath = workbookPath;
    // The values, the date and the time in the user's regional form.
    options.locale = QLocale();
    return options;
}

}  // namespace

QString statementName(const spreadsheet::Workbook& workbook, int sheetIndex) {
    if (sheetIndex < 0 || sheetIndex >= int(workbook.sheets.size()))
        return {};
    const spreadsheet::Cell* cell = workbook.sheets[size_t(sheetIndex)].cell(kNameCell);
    if (!cell || cell->isBlank())
        return {};
    if (const QString* text = cell->text())
        return text->trimmed();
    // A name typed as digits became a number; the author is what the cell shows.
    return shownText(workbook, cell).trimmed();
}

QPageLayout statementPageLayout(const spreadsheet::Workbook& workbook) {
    return spreadsheet::pageLayoutFor(activeSheet(workbook));
}

void printStatement(const spreadsheet::Workbook& workbook, QPagedPaintDevice& device,
                    const QString& workbookPath) {
    spreadsheet::PrintOptions options = printOptions(workbook, workbookPath);
    options.layout = device.pageLayout();
    spreadsheet::printSheet(workbook, workbook.activeSheetIndex(), device, options);
}

QByteArray statementPdf(const spreadsheet::Workbook& workbook, const QString& workbookPath) {
    const spreadsheet::PrintOptions options = printOptions(workbook, workbookPath);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(shell::product::kName);
        spreadsheet::printSheet(workbook, workbook.activeSheetIndex(), pdf, options);
    }
    return withDocumentInfo(buffer.data(), {options.title, options.author, shell::product::kName,
                                            QStringLiteral("Qt ") + QLatin1String(qVersion())});
}

QImage statementPicture(const spreadsheet::Workbook& workbook, qreal ratio) {
    const int sheet = workbook.activeSheetIndex();
    const auto used = workbook.sheets.empty() ? std::nullopt : workbook.sheets[size_t(sheet)].usedRange();
    if (!used)
        throw shell::RuntimeError(QStringLiteral("The sheet is empty: there is no picture to draw"));
    if (!(ratio > 0))
        throw shell::RuntimeError(
            QStringLiteral("A picture needs a positive number of device pixels to a pixel"));
    if (ratio == 1) {
        QImage picture = spreadsheet::renderRange(workbook, sheet, *used, {.locale = QLocale()});
        if (picture.isNull())
            throw shell::RuntimeError(QStringLiteral("The picture of the sheet could not be drawn"));
        return picture;
    }
    const QSize size = spreadsheet::rangePixelSize(workbook, sheet, *used);
    const double width = std::ceil(size.width() * ratio);
    const double height = std::ceil(size.height() * ratio);
    if (size.isEmpty() || width * height > double(kMaxSharpPixels))
        throw shell::RuntimeError(QStringLiteral("The picture of the sheet is too large to draw sharper"));
    QImage picture(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    spreadsheet::paintRange(painter, workbook, sheet, *used, {.locale = QLocale()});
    return picture;
}

QString statementTotals(const spreadsheet::Workbook& workbook) {
    const spreadsheet::Worksheet& sheet = activeSheet(workbook);
    QStringList parts;
    for (const TemplateTotal& total : kTemplateTotals) {
        const auto cell = [&](int column) { return sheet.cell({total.row - 1, column - 1}); };
        QString label = shownText(workbook, cell(kLabelColumn)).simplified();
        if (label.isEmpty())
            label = total.label;
        parts << QStringLiteral("%1: %2.").arg(label, shownText(workbook, cell(kAmountColumn)).simplified());
    }
    return parts.join(QLatin1Char(' '));
}

QByteArray pngBytes(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (picture.isNull() || !picture.save(&buffer, "PNG"))
        throw shell::RuntimeError(QStringLiteral("The picture could not be encoded as PNG"));
    return bytes;
}

}  // namespace generation
