#include "spreadsheet/workbook_reader.h"

#include <QtEndian>
#include <algorithm>
#include <map>
#include <numeric>
#include <optional>
#include <set>

#include "spreadsheet/biff/encryption.h"
#include "spreadsheet/biff/read_conditional_formats.h"
#include "spreadsheet/biff/read_globals.h"
#include "spreadsheet/biff/read_links.h"
#include "spreadsheet/biff/read_sheet.h"
#include "spreadsheet/biff/record_reader.h"
#include "spreadsheet/container/compound_file.h"
#include "spreadsheet/error.h"

namespace spreadsheet {

namespace {

using biff::Globals;
using biff::SheetEntry;

bool isBofAt(QByteArrayView stream, quint32 offset) {
    return qsizetype(offset) <= stream.size() - 4 &&
           qFromLittleEndian<quint16>(stream.data() + offset) == biff::rec::BOF;
}

// Where each sheet's substream starts. The offsets in the BOUNDSHEET records are used when they all point
// at a BOF of their own; otherwise the substreams after the globals are taken in order, one per sheet.
std::vector<qsizetype> substreamOffsets(QByteArrayView stream, const Globals& globals) {
    std::vector<qsizetype> offsets;
    std::set<quint32> seen;
    for (const SheetEntry& entry : globals.sheets) {
        if (!isBofAt(stream, entry.offset) || !seen.insert(entry.offset).second)
            break;
        offsets.push_back(entry.offset);
    }
    if (offsets.size() == globals.sheets.size())
        return offsets;

    offsets.clear();
    biff::RecordWalker walker(stream, globals.end);
    biff::Record record;
    int depth = 0;
    while (offsets.size() < globals.sheets.size() && walker.next(record)) {
        if (record.id == biff::rec::BOF) {
            if (depth == 0)
                offsets.push_back(record.offset);
            ++depth;
        } else if (record.id == biff::rec::EOF_ && depth > 0) {
            --depth;
        }
    }
    if (offsets.size() < globals.sheets.size())
        biff::damaged(QStringLiteral("the workbook lists %1 sheets but holds %2")
                          .arg(globals.sheets.size())
                          .arg(offsets.size()));
    return offsets;
}

}  // namespace

Workbook readWorkbookStream(const QByteArray& encrypted) {
    Workbook workbook;
    QByteArray stream = encrypted;
    if (std::optional<QByteArray> filePass = biff::decryptWorkbookStream(stream))
        workbook.encryption = DefaultPasswordEncryption{std::move(*filePass)};
    const Globals globals = biff::readGlobals(stream, workbook);
    const std::vector<qsizetype> offsets = substreamOffsets(stream, globals);

    // Sheets are read in the order of their substreams, and a substream must start past the end of the
    // one before: sheets pointing into each other would otherwise cost time that grows with their square.
    std::vector<size_t> byOffset(globals.sheets.size());
    std::iota(byOffset.begin(), byOffset.end(), size_t(0));
    std::stable_sort(byOffset.begin(), byOffset.end(),
                     [&](size_t a, size_t b) { return offsets[a] < offsets[b]; });
    biff::SheetContext context{globals.sharedStrings, workbook.formats.size(), workbook.calculation};
    std::vector<std::optional<Worksheet>> read(globals.sheets.size());
    std::vector<std::optional<OtherSheet>> others(globals.sheets.size());
    qsizetype readUpTo = 0;
    for (size_t i = 0; i < byOffset.size(); ++i) {
        const size_t tab = byOffset[i];
        const SheetEntry& entry = globals.sheets[tab];
        if (offsets[tab] < readUpTo)
            biff::damaged(QStringLiteral("two sheets overlap in the workbook stream"));
        // A chart or macro sheet whose writer left out its EOF (gnumeric does) ends where the next substream
        // starts; a worksheet that lacks it, with the stream (one that holds another sheet is damaged).
        qsizetype limit = stream.size();
        for (size_t next = i + 1; next < byOffset.size(); ++next) {
            if (offsets[byOffset[next]] > offsets[tab]) {
                limit = offsets[byOffset[next]];
                break;
            }
        }
        if (entry.type == 0) {
            Worksheet sheet;
            sheet.name = entry.name;
            sheet.visible = entry.visible;
            sheet.veryHidden = entry.visibility == 2;
            if (const std::optional<qsizetype> end =
                    biff::readWorksheet(stream, offsets[tab], context, sheet)) {
                biff::readConditionalFormats(sheet);
                readUpTo = *end;
                read[tab] = std::move(sheet);
                continue;
            }
        }
        // Chart and macro sheets are kept whole.
        const qsizetype end = biff::substreamEnd(stream, offsets[tab], limit);
        OtherSheet other;
        other.name = entry.name;
        other.visibility = entry.visibility;
        other.type = entry.type;
        other.substream = stream.mid(offsets[tab], end - offsets[tab]);
        other.readAt = offsets[tab];
        others[tab] = std::move(other);
        readUpTo = end;
    }

    // Tab numbers become worksheet numbers; the other sheets remember which worksheet they stood before.
    biff::TabKinds tabs{std::vector<int>(read.size(), -1), std::vector<int>(read.size(), -1)};
    for (size_t tab = 0; tab < read.size(); ++tab) {
        if (read[tab]) {
            tabs.worksheet[tab] = int(workbook.sheets.size());
            workbook.sheets.push_back(std::move(*read[tab]));
        } else if (others[tab]) {
            tabs.other[tab] = int(workbook.otherSheets.size());
            others[tab]->beforeSheet = workbook.sheets.size();
            workbook.otherSheets.push_back(std::move(*others[tab]));
        }
    }
    if (workbook.sheets.empty())
        throw SpreadsheetError(QStringLiteral("The workbook has no worksheets."));
    biff::remapTabs(workbook, tabs);

    // A tab that is no worksheet stands for the worksheet after it.
    auto toSheet = [&](quint16 tab) {
        for (size_t t = tab; t < tabs.worksheet.size(); ++t) {
            if (tabs.worksheet[t] >= 0)
                return quint16(tabs.worksheet[t]);
        }
        return quint16(0);
    };
    workbook.window.activeSheet = toSheet(workbook.window.activeSheet);
    workbook.window.firstVisibleTab = toSheet(workbook.window.firstVisibleTab);
    return workbook;
}

Workbook readWorkbookBytes(const QByteArray& compoundFile) {
    const CompoundFileReader file = CompoundFileReader::fromBytes(compoundFile);
    Workbook workbook = readWorkbookStream(file.workbookStream());
    workbook.properties = file.properties();
    return workbook;
}

Workbook readWorkbookFile(const QString& path) {
    const CompoundFileReader file = CompoundFileReader::fromFile(path);
    Workbook workbook = readWorkbookStream(file.workbookStream());
    workbook.properties = file.properties();
    return workbook;
}

}  // namespace spreadsheet
