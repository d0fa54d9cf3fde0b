// Feeds arbitrary bytes to the workbook reader: as a bare workbook stream, or (QB_FUZZ_WHOLE_FILE) as a
// whole compound file. A SpreadsheetError is the expected answer to bad input; anything else that
// escapes, and every crash, leak or undefined behaviour the sanitizers see, is a finding.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

#include "spreadsheet/error.h"
#include "spreadsheet/workbook_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
#if QB_FUZZ_WHOLE_FILE
        spreadsheet::readWorkbookBytes(bytes);
#else
        spreadsheet::readWorkbookStream(bytes);
#endif
    } catch (const spreadsheet::SpreadsheetError&) {
    }
    return 0;
}
