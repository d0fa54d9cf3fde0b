#pragma once

// The string forms of BIFF8: short and long Unicode strings, and the shared string table whose strings
// may carry rich-text runs and phonetic data and may be split across CONTINUE records.

#include <QString>
#include <QStringList>

#include "spreadsheet/biff/record_reader.h"

namespace spreadsheet::biff {

// ShortXLUnicodeString: an 8-bit character count, a flags byte, the characters.
QString readShortString(RecordCursor& cursor);
// XLUnicodeString: a 16-bit character count, a flags byte, the characters.
QString readLongString(RecordCursor& cursor);
// The same where the characters may go on in CONTINUE records.
QString readLongString(ContinuedCursor& cursor);
// XLUnicodeRichExtendedString: as above, with rich-text runs and phonetic data skipped.
QString readRichExtendedString(ContinuedCursor& cursor);

// The strings of an SST record with its CONTINUE records.
QStringList readSharedStrings(const Record& sst);

}  // namespace spreadsheet::biff
