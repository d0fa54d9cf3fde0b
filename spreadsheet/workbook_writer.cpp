#include "spreadsheet/workbook_writer.h"

#include <QSet>
#include <algorithm>

#include "spreadsheet/biff_write_records.h"
#include "spreadsheet/biff_write_sheet.h"
#include "spreadsheet/biff_write_sst.h"
#include "spreadsheet/compound_file.h"
#include "spreadsheet/error.h"

namespace spreadsheet {

namespace {

using namespace biff;

constexpr int kMaxSheetNameLength = 31;
constexpr size_t kMaxCellFormats = 4050;

// What a spreadsheet would refuse to open is refused here, before a byte is written.
void validate(const Workbook& workbook) {
    if (workbook.sheets.empty())
        throw SpreadsheetError(QStringLiteral("A workbook needs at least one sheet."));
    if (workbook.formats.size() < 16 || workbook.formats.size() > kMaxCellFormats) {
        throw SpreadsheetError(QStringLiteral("The workbook has an impossible number of cell formats."));
    }
    if (workbook.fonts.empty() || workbook.fonts.size() > 0xFFFE) {
        throw SpreadsheetError(QStringLiteral("The workbook has an impossible number of fonts."));
    }
    for (const CellFormat& format : workbook.formats) {
        if (format.fontIndex >= workbook.fonts.size()) {
            throw SpreadsheetError(
                QStringLiteral("A cell format refers to a font the workbook does not have."));
        }
    }
    QSet<QString> names;
    for (const Worksheet& sheet : workbook.sheets) {
        static const QString forbidden = QStringLiteral("[]:*?/\\");
        if (sheet.name.isEmpty() || sheet.name.size() > kMaxSheetNameLength ||
            std::any_of(sheet.name.begin(), sheet.name.end(),
                        [](QChar c) { return forbidden.contains(c); })) {
            throw SpreadsheetError(QStringLiteral("\"%1\" is not a valid sheet name.").arg(sheet.name));
        }
        if (names.contains(sheet.name.toCaseFolded())) {
            throw SpreadsheetError(QStringLiteral("The sheet name \"%1\" is used twice.").arg(sheet.name));
        }
        names.insert(sheet.name.toCaseFolded());
        for (const auto& [ref, cell] : sheet.cells()) {
            if (!ref.isValid())
                throw SpreadsheetError(QStringLiteral("A cell lies outside the sheet."));
            if (cell.xf >= workbook.formats.size()) {
                throw SpreadsheetError(
                    QStringLiteral("Cell %1 refers to a cell format the workbook does not have.")
                        .arg(cellName(ref)));
            }
        }
        for (const auto& [index, row] : sheet.rows) {
            if (index < 0 || index >= kMaxRows || (row.hasFormat && row.xf >= workbook.formats.size())) {
                throw SpreadsheetError(
                    QStringLiteral("The sheet \"%1\" has an invalid row.").arg(sheet.name));
            }
        }
        for (const ColumnInfo& column : sheet.columns) {
            if (column.firstColumn < 0 || column.lastColumn >= kMaxColumns ||
                column.firstColumn > column.lastColumn || column.xf >= workbook.formats.size()) {
                throw SpreadsheetError(
                    QStringLiteral("The sheet \"%1\" has an invalid column.").arg(sheet.name));
            }
        }
        for (const CellRange& range : sheet.mergedRanges) {
            if (!range.first.isValid() || !range.last.isValid() || range.first.row > range.last.row ||
                range.first.column > range.last.column) {
                throw SpreadsheetError(
                    QStringLiteral("The sheet \"%1\" has an invalid merged range.").arg(sheet.name));
            }
        }
    }
}

// The workbook globals up to the BOUNDSHEET records; returns the positions of their bodies.
std::vector<qint64> writeGlobals(RecordStream& stream, const Workbook& workbook) {
    stream.append(id::Bof, bof(SubstreamType::WorkbookGlobals));
    if (workbook.isTemplate)
        stream.append(id::Template);
    stream.append(id::InterfaceHdr, u16Record(1200));
    stream.append(id::Mms, u16Record(0));
    stream.append(id::InterfaceEnd);
    const DocumentProperties& properties = workbook.properties;
    stream.append(id::WriteAccess,
                  writeAccess(properties.lastAuthor.isEmpty() ? properties.author : properties.lastAuthor));
    stream.append(id::CodePage, u16Record(workbook.codePage));
    stream.append(id::Dsf, u16Record(0));
    stream.append(id::TabId, tabIds(int(workbook.sheets.size())));
    stream.append(id::FnGroupCount, u16Record(14));
    stream.append(id::WindowProtect, u16Record(0));
    stream.append(id::Protect, u16Record(0));
    stream.append(id::Password, u16Record(0));
    stream.append(id::Prot4Rev, u16Record(0));
    stream.append(id::Prot4RevPass, u16Record(0));
    stream.append(id::Backup, u16Record(0));
    stream.append(id::HideObj, u16Record(0));
    stream.append(id::Window1, window1(workbook.window));
    stream.append(id::DateMode, u16Record(workbook.date1904 ? 1 : 0));
    stream.append(id::Precision, u16Record(1));
    stream.append(id::RefreshAll, u16Record(0));
    stream.append(id::BookBool, u16Record(0));
    for (const Font& f : workbook.fonts)
        stream.append(id::Font, font(f));
    for (const auto& [formatId, code] : workbook.numberFormats)
        stream.append(id::Format, format(formatId, code));
    for (const CellFormat& f : workbook.formats)
        stream.append(id::Xf, xf(f));
    for (const Style& s : workbook.styles)
        stream.append(id::Style, style(s));
    if (workbook.paletteCustomized)
        stream.append(id::Palette, palette(workbook.palette));
    stream.append(id::UseSelfs, u16Record(1));
    std::vector<qint64> boundSheets;
    for (const Worksheet& sheet : workbook.sheets)
        boundSheets.push_back(stream.append(id::BoundSheet, boundSheet(sheet)) + 4);
    return boundSheets;
}

}  // namespace

QByteArray workbookStream(const Workbook& workbook) {
    validate(workbook);
    SharedStrings strings;
    for (const Worksheet& sheet : workbook.sheets)
        collectStrings(sheet, strings);

    RecordStream stream;
    const std::vector<qint64> boundSheets = writeGlobals(stream, workbook);
    stream.append(id::Country, country());
    strings.write(stream);
    stream.append(id::Eof);

    for (size_t i = 0; i < workbook.sheets.size(); ++i) {
        stream.patchU32(boundSheets[i], quint32(stream.position()));
        writeWorksheet(stream, workbook, workbook.sheets[i], strings);
    }
    return stream.bytes();
}

QByteArray workbookFileBytes(const Workbook& workbook) {
    return compoundFileBytes(workbookStream(workbook), workbook.properties);
}

void writeWorkbookFile(const Workbook& workbook, const QString& path) {
    writeCompoundFile(path, workbookStream(workbook), workbook.properties);
}

}  // namespace spreadsheet
