// Feeds arbitrary bytes to the workbook engine. QB_FUZZ_STREAM reads them as a bare workbook stream,
// QB_FUZZ_FILE as a whole compound file, QB_FUZZ_ROUNDTRIP reads a stream, writes what was read and
// reads that again (which must work: the writer may refuse a workbook, but never write one that the
// reader cannot read), and QB_FUZZ_SHARED_FORMULA turns token streams into a cell's own formula.
// A SpreadsheetError is the expected answer to bad input; anything else that escapes, and every crash,
// leak or undefined behaviour the sanitizers see, is a finding.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "spreadsheet/biff/tokens.h"
#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"

namespace {

[[noreturn]] void finding(const char* what) {
    std::fprintf(stderr, "finding: %s\n", what);
    std::abort();
}

void roundTrip(const QByteArray& bytes) {
    spreadsheet::Workbook first;
    try {
        first = spreadsheet::readWorkbookStream(bytes);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;
    }
    QByteArray written;
    try {
        written = spreadsheet::workbookStream(first);
    } catch (const spreadsheet::SpreadsheetError&) {
        return;  // a workbook the writer refuses, with a reason
    }
    try {
        const spreadsheet::Workbook second = spreadsheet::readWorkbookStream(written);
        if (second.sheets.size() != first.sheets.size() || second.names.size() != first.names.size() ||
            second.otherSheets.size() != first.otherSheets.size())
            finding("the written workbook reads back with other sheets or names");
    } catch (const spreadsheet::SpreadsheetError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        finding("the written workbook cannot be read back");
    }
}

void sharedFormula(const uint8_t* data, size_t size) {
    if (size < 3)
        return;
    const spreadsheet::CellRef cell{int(data[0]) << 8 | data[1], data[2]};
    const QByteArrayView tokens(reinterpret_cast<const char*>(data + 3), qsizetype(size - 3));
    if (const auto resolved = spreadsheet::biff::sharedFormulaForCell(tokens, cell)) {
        if (resolved->size() != tokens.size())
            finding("a shared formula changed its length");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
#if defined(QB_FUZZ_FILE)
        spreadsheet::readWorkbookBytes(bytes);
#elif defined(QB_FUZZ_ROUNDTRIP)
        roundTrip(bytes);
#elif defined(QB_FUZZ_SHARED_FORMULA)
        sharedFormula(data, size);
#else
        spreadsheet::readWorkbookStream(bytes);
#endif
    } catch (const spreadsheet::SpreadsheetError&) {
    }
    return 0;
}
