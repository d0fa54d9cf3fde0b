#pragma once

// The parsed form of a format code, shared by the parser and the parts that lay out numbers, dates and
// General. Not part of the engine's interface.

#include <QLocale>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "spreadsheet/number_format.h"

namespace spreadsheet::number_format_detail {

enum class TokenKind {
    Literal,       // text: quoted, escaped or a character that stands for itself
    Spacing,       // _x
    Fill,          // *x
    Digit,         // 0 # ?  (ch)
    DecimalPoint,  // .
    Comma,         // , (grouping or scaling, decided by position)
    Percent,       // %
    Exponent,      // E+ E- e+ e- (ch is the sign)
    Slash,         // / between fraction placeholders
    Text,          // @
    General,       // General
    Date,     // y.. m.. d.. h.. s.. (text is the lower-case code; "m"/"mm" resolved to "n"/"nn" for minutes)
    Elapsed,  // [h] [mm] [ss] (text is the lower-case letters)
    SubSecond,  // .0 .00 .000 after seconds (count)
    AmPm,       // AM/PM or A/P (text as written)
};

struct Token {
    TokenKind kind = TokenKind::Literal;
    QString text;
    QChar ch;
    int count = 0;
};

enum class Compare { None, Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual };

struct Condition {
    Compare op = Compare::None;
    double operand = 0;

    bool present() const { return op != Compare::None; }
    bool matches(double value) const;
};

// [$-F800] and [$-F400]: the system's long date or time form stands for the whole section.
enum class SystemForm { None, LongDate, Time };

struct Section {
    std::vector<Token> tokens;
    Condition condition;
    std::optional<quint16> colorIndex;
    bool isDate = false;
    bool hasDigits = false;  // holds number placeholders or General
    bool hasText = false;    // holds @
    SystemForm systemForm = SystemForm::None;
    // [$-40C] and its kin: the language whose day and month names the section shows.
    std::optional<QLocale> language;
};

struct ParsedFormat {
    std::vector<Section> sections;
};

ParsedFormat parseFormat(const QString& code);

// Appends literal text, merging it with a literal segment before it.
void appendLiteral(FormattedText& out, const QString& text);
// A `_x` gap or the `*x` fill: the two tokens that only the drawing resolves against the cell's width.
void appendLayout(FormattedText& out, const Token& token);

// Lays out a number (zero or more) with the placeholders of a section; the sign is the caller's.
void formatNumberSection(const Section& section, double value, const FormatOptions& options,
                         FormattedText& out);
// Lays out a date serial with the date and time codes of a section; false when the value is out of range.
bool formatDateSection(const Section& section, double serial, const FormatOptions& options,
                       FormattedText& out);
// The General form of a number in at most `width` characters (at least one).
QString formatGeneral(double value, int width);
// The same with the decimal separator of the options' locale.
QString regionalGeneral(double value, const FormatOptions& options);

// The locale a language id of a format ([$-407]) stands for; nothing for an id this table lacks.
std::optional<QLocale> localeOfLanguageId(quint32 id);
// The code of a system form in the locale's order and names.
QString systemFormCode(SystemForm form, const QLocale& locale);

// Decimal digits of a double as a spreadsheet sees them: 15 significant digits.
// value = 0.d1 d2 d3 ... x 10^exponent; digits has no trailing zeros and is empty for zero.
struct Decimal {
    std::string digits;
    int exponent = 0;
};
Decimal toDecimal(double value);
// Rounds half away from zero so that `decimals` digits are left after the point (may be negative).
Decimal roundDecimal(const Decimal& value, int decimals);
// Rounds to `significant` digits, half away from zero.
Decimal roundSignificant(const Decimal& value, int significant);
// The digits before the point (empty for less than one) and `decimals` digits after it, of an
// already rounded decimal.
std::pair<std::string, std::string> fixedParts(const Decimal& value, int decimals);

}  // namespace spreadsheet::number_format_detail
