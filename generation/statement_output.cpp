#include "generation/statement_output.h"

#include <QBuffer>
#include <QLocale>
#include <QPdfWriter>

#include "generation/pdf_document_info.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/renderer.h"

namespace generation {

namespace {
constexpr spreadsheet::CellRef kNameCell{1, 0};  // A2
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
    const quint16 format =
        cell->xf < workbook.formats.size() ? workbook.formats[cell->xf].numberFormat : quint16(0);
    return spreadsheet::formatValue(workbook, format, cell->value, QLocale()).text().trimmed();
}

spreadsheet::PrintOptions statementPrintOptions(const spreadsheet::Workbook& workbook, int sheetIndex,
                                                const QString& workbookPath) {
    spreadsheet::PrintOptions options;
    options.title = kStatementTitle;
    options.author = statementName(workbook, sheetIndex);
    options.filePath = workbookPath;
    // The values, the date and the time in the user's regional form.
    options.locale = QLocale();
    return options;
}

QByteArray statementPdf(const spreadsheet::Workbook& workbook, const QString& workbookPath) {
    const int sheet = workbook.activeSheetIndex();
    const spreadsheet::PrintOptions options = statementPrintOptions(workbook, sheet, workbookPath);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(shell::product::kName);
        spreadsheet::printSheet(workbook, sheet, pdf, options);
    }
    return withDocumentInfo(buffer.data(), {options.title, options.author, shell::product::kName,
                                            QStringLiteral("Qt ") + QLatin1String(qVersion())});
}

QImage statementPicture(const spreadsheet::Workbook& workbook) {
    const int sheet = workbook.activeSheetIndex();
    const auto used = workbook.sheets.empty() ? std::nullopt : workbook.sheets[size_t(sheet)].usedRange();
    if (!used)
        throw shell::RuntimeError(QStringLiteral("The sheet is empty: there is no picture to draw"));
    QImage picture = spreadsheet::renderRange(workbook, sheet, *used, {.locale = QLocale()});
    if (picture.isNull())
        throw shell::RuntimeError(QStringLiteral("The picture of the sheet could not be drawn"));
    return picture;
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
