#pragma once

// Number formats as a spreadsheet applies them: a format code (or a built-in format id) and a cell value
// give the text a cell shows. The result is not a plain string: a format may ask for blank gaps as wide
// as a character (`_x`) and for one character repeated to fill the cell (`*x`), and only the renderer
// knows the cell's width and font, so it gets the pieces and lays them out itself.

#include <QLocale>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

namespace number_format_detail {
struct ParsedFormat;
}

struct FormattedSegment {
    QString text;
    // A gap as wide as `text` in the cell's font, drawn blank (the `_x` of a format).
    bool spacing = false;

    bool operator==(const FormattedSegment&) const = default;
};

struct FormattedText {
    std::vector<FormattedSegment> segments;
    // Where the fill goes: the gap before segments[fillBefore] (segments.size() for the end), or -1
    // when the format has no fill. With a fill the text spans the whole cell whatever its alignment.
    int fillBefore = -1;
    QChar fillChar;
    // A colour the format asks for ([Red], [Color10]) as a palette index; the font's colour otherwise.
    std::optional<quint16> colorIndex;
    // The value cannot be shown in this format (a negative date, no section for it): the cell shows "#"s.
    bool hashes = false;
    // General laid out the number; a smaller `generalWidth` gives a shorter form of the same number.
    bool general = false;
    // The value was a number (dates included): it never overflows into its neighbours.
    bool numeric = false;

    bool hasFill() const { return fillBefore >= 0; }
    // The shown text with each `_x` gap as one space and without the fill.
    QString text() const;
    QString textBeforeFill() const;
    QString textAfterFill() const;
};

struct FormatOptions {
    bool date1904 = false;
    // How many characters General may use for a number. A spreadsheet allows 11 in a cell; the
    // renderer asks again with fewer when the text does not fit the column.
    int generalWidth = 11;
    // The regional settings the value is shown in, as a spreadsheet takes them from the system: the
    // decimal and group separators of numbers, the day and month names of dates whose format names no
    // language, and the system's long date and time forms ([$-F800], [$-F400]). The C locale shows
    // them as a US spreadsheet does. The format code itself never changes.
    QLocale locale = QLocale::c();
};

// A parsed format code; cheap to copy, immutable. Malformed codes never throw: what cannot be read is
// shown literally, as a spreadsheet keeps any text it does not understand.
class NumberFormat {
public:
    NumberFormat();
    explicit NumberFormat(const QString& code);

    FormattedText format(const Value& value, const FormatOptions& options = {}) const;
    const QString& code() const { return code_; }
    // The first section shows dates or times.
    bool isDateTime() const;

private:
    QString code_;
    std::shared_ptr<const number_format_detail::ParsedFormat> parsed_;
};

// The code of a built-in format id (0 to 49, as the en-US spreadsheet defines them); empty when the id
// is not built in.
QString builtInNumberFormatCode(int id);
// The short-date format (built-in 14) as a locale shows it, with the whole year: "m/d/yyyy" in the US
// (and in the C locale), "dd.mm.yyyy" in Germany.
QString shortDateFormatCode(const QLocale& locale);
// The system's long date form ([$-F800]) as a locale shows it: "dddd, mmmm d, yyyy" in the US.
QString longDateFormatCode(const QLocale& locale);
// The code an XF's format id stands for: the workbook's FORMAT record, else the built-in code (the
// short date, and the date and time of format 22, in the locale's order), else General.
QString numberFormatCode(const Workbook& workbook, quint16 id, const QLocale& locale = QLocale::c());
// Formats a value with the workbook's format id and date system, in the locale's regional form.
FormattedText formatValue(const Workbook& workbook, quint16 formatId, const Value& value,
                          const QLocale& locale = QLocale::c(), int generalWidth = 11);

}  // namespace spreadsheet
