#include "spreadsheet/workbook_writer.h"

#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <set>

#include "spreadsheet/biff/encryption.h"
#include "spreadsheet/biff/kept.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/biff/write_chart.h"
#include "spreadsheet/biff/write_links.h"
#include "spreadsheet/biff/write_records.h"
#include "spreadsheet/biff/write_sheet.h"
#include "spreadsheet/biff/write_sst.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/error.h"

namespace spreadsheet {

namespace {

using namespace biff;

constexpr int kMaxSheetNameLength = 31;
constexpr size_t kMaxCellFormats = 4050;
constexpr quint16 kMsoDrawingGroup = 0x00EB;

// What a spreadsheet would refuse to open is refused here, before a byte is written.
void validate(const Workbook& workbook) {
    if (workbook.sheets.empty())
        throw SpreadsheetError(QStringLiteral("A workbook needs at least one sheet."));
    if (workbook.encryption)
        checkDefaultPasswordFilePass(workbook.encryption->filePass);
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

QByteArray settingOr(const Workbook& workbook, quint16 id, quint16 fallback) {
    const auto it = workbook.keptSettings.find(id);
    return it != workbook.keptSettings.end() ? it->second : u16Record(fallback).bytes();
}

// The built-in currency and accounting formats that a new workbook spells out. A workbook read without them
// gets them only for a cell format added since, which must not leave its number format to the reader's
// regional settings.
bool isSpelledOutBuiltIn(quint16 formatId) {
    return (formatId >= 5 && formatId <= 8) || (formatId >= 41 && formatId <= 44);
}

// The FORMAT records to write, in order: those read, in the order read, while the model still has them;
// then the others by id.
std::vector<std::pair<quint16, QString>> numberFormatsToWrite(const Workbook& workbook) {
    const RecordsAsRead& asRead = workbook.asRead;
    std::vector<std::pair<quint16, QString>> out;
    std::set<quint16> written;
    if (const auto read = asRead.byId.find(rec::FORMAT); read != asRead.byId.end()) {
        for (const KeptRecord& record : read->second) {
            try {
                RecordCursor c(record.data, rec::FORMAT);
                const quint16 formatId = c.u16();
                const auto now = workbook.numberFormats.find(formatId);
                if (now != workbook.numberFormats.end() && !written.contains(formatId)) {
                    out.emplace_back(formatId, now->second);
                    written.insert(formatId);
                }
            } catch (const SpreadsheetError&) {
            }
        }
    }
    std::set<quint16> usedByAddedFormats;
    for (size_t i = asRead.count(rec::XF); i < workbook.formats.size(); ++i)
        usedByAddedFormats.insert(workbook.formats[i].numberFormat);
    const Workbook fresh;
    for (const auto& [formatId, code] : workbook.numberFormats) {
        if (written.contains(formatId))
            continue;
        const auto builtIn = fresh.numberFormats.find(formatId);
        const bool leftOut = !asRead.isEmpty() && isSpelledOutBuiltIn(formatId) &&
                             builtIn != fresh.numberFormats.end() && builtIn->second == code &&
                             !usedByAddedFormats.contains(formatId);
        if (!leftOut)
            out.emplace_back(formatId, code);
    }
    return out;
}

// The workbook globals up to the BOUNDSHEET records; returns the positions of their bodies, by tab. Records
// the format requires are written whether or not the workbook was read with them; the others only when it
// was, or when it is new.
std::vector<qint64> writeGlobals(KeptRecordWriter& out, const Workbook& workbook, const TabOrder& tabs) {
    const RecordsAsRead& asRead = workbook.asRead;
    auto optional = [&](quint16 recordId) { return asRead.isEmpty() || asRead.count(recordId) > 0; };
    out.append(id::Bof, bof(SubstreamType::WorkbookGlobals));
    if (workbook.encryption)
        out.append(rec::FILEPASS, filePassForWriting(workbook.encryption->filePass));
    if (workbook.isTemplate)
        out.append(id::Template);
    out.append(id::InterfaceHdr, u16Record(1200));
    if (optional(id::Mms))
        out.append(id::Mms, u16Record(0));
    out.append(id::InterfaceEnd);
    const DocumentProperties& properties = workbook.properties;
    out.append(id::WriteAccess,
               writeAccess(properties.lastAuthor.isEmpty() ? properties.author : properties.lastAuthor));
    out.append(id::CodePage, u16Record(workbook.codePage));
    out.append(id::Dsf, u16Record(0));
    out.append(id::TabId, tabIds(tabs.count));
    if (optional(id::FnGroupCount))
        out.append(id::FnGroupCount, u16Record(14));
    const WorkbookProtection& protection = workbook.protection;
    out.append(id::WindowProtect, u16Record(protection.windows ? 1 : 0));
    out.append(id::Protect, u16Record(protection.structure ? 1 : 0));
    out.append(id::Password, u16Record(protection.passwordHash));
    out.append(id::Prot4Rev, u16Record(protection.revisions ? 1 : 0));
    out.append(id::Prot4RevPass, u16Record(protection.revisionsPasswordHash));
    WorkbookWindow window = workbook.window;
    window.activeSheet = quint16(tabs.ofSheet[size_t(workbook.activeSheetIndex())]);
    if (window.firstVisibleTab < tabs.ofSheet.size())
        window.firstVisibleTab = quint16(tabs.ofSheet[window.firstVisibleTab]);
    out.append(id::Window1, window1(window));
    out.append(id::Backup, settingOr(workbook, id::Backup, 0));
    out.append(id::HideObj, settingOr(workbook, id::HideObj, 0));
    out.append(id::DateMode, u16Record(workbook.date1904 ? 1 : 0));
    out.append(id::Precision, settingOr(workbook, id::Precision, 1));
    out.append(id::RefreshAll, settingOr(workbook, id::RefreshAll, 0));
    out.append(id::BookBool, settingOr(workbook, id::BookBool, 0));
    for (const Font& f : workbook.fonts)
        out.append(id::Font, font(f));
    for (const auto& [formatId, code] : numberFormatsToWrite(workbook))
        out.append(id::Format, format(formatId, code));
    for (const CellFormat& f : workbook.formats)
        out.append(id::Xf, xf(f));
    for (const Style& s : workbook.styles)
        out.append(id::Style, style(s));
    if (workbook.paletteCustomized)
        out.append(id::Palette, palette(workbook.palette));
    out.append(id::UseSelfs, u16Record(1));
    std::vector<qint64> boundSheets(size_t(tabs.count));
    for (int tab = 0; tab < tabs.count; ++tab) {
        RecordBuffer body;
        for (size_t i = 0; i < workbook.sheets.size(); ++i) {
            if (tabs.ofSheet[i] == tab)
                body = boundSheet(workbook.sheets[i]);
        }
        for (size_t i = 0; i < workbook.otherSheets.size(); ++i) {
            if (tabs.ofOther[i] == tab)
                body = boundSheet(workbook.otherSheets[i]);
        }
        boundSheets[size_t(tab)] = out.append(id::BoundSheet, body) + 4;
    }
    const auto country = workbook.keptSettings.find(id::Country);
    out.append(id::Country,
               country != workbook.keptSettings.end() ? country->second : biff::country().bytes());
    writeLinks(out, workbook, tabs);
    return boundSheets;
}

// A kept sheet's substream at its new place. An INDEX record in it (macro sheets have one) holds
// positions in the stream, which move with it.
void writeOtherSheet(RecordStream& stream, const OtherSheet& sheet) {
    QByteArray bytes = sheet.substream;
    const qint64 shift = stream.position() - sheet.readAt;
    qsizetype at = 0;
    int depth = 0;
    while (at + 4 <= bytes.size()) {
        const quint16 recordId = qFromLittleEndian<quint16>(bytes.constData() + at);
        const quint16 length = qFromLittleEndian<quint16>(bytes.constData() + at + 2);
        depth += recordId == biff::rec::BOF ? 1 : recordId == biff::rec::EOF_ ? -1 : 0;
        if (recordId == biff::rec::INDEX && depth == 1 && length >= 16 && at + 4 + length <= bytes.size()) {
            auto patch = [&](qsizetype field) {
                const quint32 old = qFromLittleEndian<quint32>(bytes.constData() + field);
                if (old != 0)
                    qToLittleEndian<quint32>(quint32(old + shift), bytes.data() + field);
            };
            patch(at + 4 + 12);
            for (qsizetype field = at + 4 + 16; field + 4 <= at + 4 + length; field += 4)
                patch(field);
        }
        at += 4 + length;
    }
    stream.appendRaw(bytes);
    // A substream read without its EOF, which some writers leave out, gets it back: another sheet follows.
    for (; depth > 0; --depth)
        stream.append(id::Eof);
}

}  // namespace

QByteArray workbookStream(const Workbook& workbook) {
    validate(workbook);
    validateLinks(workbook);
    validateCharts(workbook);
    SharedStrings strings(workbook.asRead);
    for (const Worksheet& sheet : workbook.sheets)
        collectStrings(sheet, strings);

    const TabOrder tabs = tabOrder(workbook);
    RecordStream stream;
    KeptRecordWriter globals(Substream::Globals, stream, workbook.kept, workbook.asRead);
    const std::vector<qint64> boundSheets = writeGlobals(globals, workbook, tabs);
    globals.flushBefore(id::Sst);
    if (hasCharts(workbook))
        stream.append(kMsoDrawingGroup, drawingGroup(workbook));
    strings.write(stream);
    globals.finish();
    stream.append(id::Eof);

    for (int tab = 0; tab < tabs.count; ++tab) {
        stream.patchU32(boundSheets[size_t(tab)], quint32(stream.position()));
        for (size_t i = 0; i < workbook.sheets.size(); ++i) {
            if (tabs.ofSheet[i] == tab)
                writeWorksheet(stream, workbook, workbook.sheets[i], strings);
        }
        for (size_t i = 0; i < workbook.otherSheets.size(); ++i) {
            if (tabs.ofOther[i] == tab)
                writeOtherSheet(stream, workbook.otherSheets[i]);
        }
    }
    QByteArray bytes = stream.bytes();
    if (workbook.encryption)
        encryptWorkbookStream(bytes);
    return bytes;
}

QByteArray workbookFileBytes(const Workbook& workbook) {
    return compoundFileBytes(workbookStream(workbook), workbook.properties);
}

void writeWorkbookFile(const Workbook& workbook, const QString& path) {
    writeCompoundFile(path, workbookStream(workbook), workbook.properties);
}

}  // namespace spreadsheet
