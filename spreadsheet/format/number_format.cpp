#include "spreadsheet/number_format.h"

#include <cmath>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet {

using namespace number_format_detail;

namespace {

QString joinSegments(const FormattedText& formatted, int from, int to) {
    QString text;
    for (int i = from; i < to; ++i) {
        const FormattedSegment& segment = formatted.segments[size_t(i)];
        text += segment.spacing ? QString(segment.text.size(), u' ') : segment.text;
    }
    return text;
}

void appendTextSection(const Section& section, const QString& value, FormattedText& out) {
    for (const Token& t : section.tokens) {
        switch (t.kind) {
            case TokenKind::Text:
                appendLiteral(out, value);
                break;
            case TokenKind::Spacing:
            case TokenKind::Fill:
                appendLayout(out, t);
                break;
            case TokenKind::Literal:
                appendLiteral(out, t.text);
                break;
            default:
                break;  // number symbols mean nothing to a text
        }
    }
}

bool onlyNegatives(const Condition& condition) {
    return (condition.op == Compare::Less && condition.operand <= 0) ||
           (condition.op == Compare::LessEqual && condition.operand < 0);
}

}  // namespace

namespace number_format_detail {

void appendLayout(FormattedText& out, const Token& token) {
    if (token.kind == TokenKind::Spacing) {
        out.segments.push_back({QString(token.ch), true});
    } else if (!out.hasFill()) {
        out.fillBefore = int(out.segments.size());
        out.fillChar = token.ch;
    }
}

void appendLiteral(FormattedText& out, const QString& text) {
    if (text.isEmpty())
        return;
    const bool fillHere = out.fillBefore == int(out.segments.size());
    if (!out.segments.empty() && !out.segments.back().spacing && !fillHere) {
        out.segments.back().text += text;
    } else {
        out.segments.push_back({text, false});
    }
}

}  // namespace number_format_detail

QString FormattedText::text() const {
    return joinSegments(*this, 0, int(segments.size()));
}

QString FormattedText::textBeforeFill() const {
    return joinSegments(*this, 0, hasFill() ? fillBefore : int(segments.size()));
}

QString FormattedText::textAfterFill() const {
    return hasFill() ? joinSegments(*this, fillBefore, int(segments.size())) : QString();
}

NumberFormat::NumberFormat() : NumberFormat(QStringLiteral("General")) {}

NumberFormat::NumberFormat(const QString& code)
    : code_(code), parsed_(std::make_shared<const ParsedFormat>(parseFormat(code))) {}

bool NumberFormat::isDateTime() const {
    return !parsed_->sections.empty() && parsed_->sections.front().isDate;
}

FormattedText NumberFormat::format(const Value& value, const FormatOptions& options) const {
    FormattedText out;
    const std::vector<Section>& sections = parsed_->sections;

    if (const QString* text = std::get_if<QString>(&value)) {
        const Section* section = nullptr;
        if (sections.size() == 4) {
            section = &sections[3];
        } else if (!sections.empty() && sections[0].hasText && !sections[0].hasDigits) {
            section = &sections[0];
        }
        if (section) {
            out.colorIndex = section->colorIndex;
            appendTextSection(*section, *text, out);
        } else {
            appendLiteral(out, *text);
        }
        return out;
    }
    if (const bool* flag = std::get_if<bool>(&value)) {
        appendLiteral(out, *flag ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
        return out;
    }
    if (const ErrorCode* error = std::get_if<ErrorCode>(&value)) {
        appendLiteral(out, errorText(*error));
        return out;
    }
    const double* number = std::get_if<double>(&value);
    if (!number)
        return out;

    out.numeric = true;
    const double v = *number;
    if (!std::isfinite(v)) {
        out.hashes = true;
        return out;
    }
    const size_t numericSections = std::min<size_t>(sections.size(), 3);
    // A format of text alone shows numbers as General.
    if (numericSections == 1 && sections[0].hasText && !sections[0].hasDigits && !sections[0].isDate) {
        out.general = true;
        appendLiteral(out, regionalGeneral(v, options));
        return out;
    }

    const Section* section = nullptr;
    bool minus = false;
    const bool conditional =
        sections[0].condition.present() || (numericSections > 1 && sections[1].condition.present());
    if (!conditional) {
        if (numericSections == 1) {
            section = &sections[0];
            minus = v < 0;
        } else if (numericSections == 2) {
            section = &sections[v >= 0 ? 0 : 1];
        } else {
            section = &sections[v > 0 ? 0 : (v < 0 ? 1 : 2)];
        }
    } else {
        if (sections[0].condition.matches(v)) {
            section = &sections[0];
        } else if (numericSections > 1 && sections[1].condition.present() &&
                   sections[1].condition.matches(v)) {
            section = &sections[1];
        } else if (numericSections == 3) {
            section = &sections[2];
        } else if (numericSections == 2 && !sections[1].condition.present()) {
            section = &sections[1];
        }
        if (section)
            minus = v < 0 && !onlyNegatives(section->condition);
    }
    if (!section) {
        out.hashes = true;
        return out;
    }
    out.colorIndex = section->colorIndex;
    if (section->isDate) {
        // The system's forms are the locale's, which the format cannot know in advance.
        std::optional<ParsedFormat> system;
        if (section->systemForm != SystemForm::None && options.locale.language() != QLocale::C)
            system = parseFormat(systemFormCode(section->systemForm, options.locale));
        const Section& shown = system && !system->sections.empty() ? system->sections.front() : *section;
        // Dates before the epoch do not exist: a spreadsheet shows the cell full of "#".
        if (minus || !formatDateSection(shown, std::fabs(v), options, out)) {
            out.segments.clear();
            out.fillBefore = -1;
            out.hashes = true;
        }
        return out;
    }
    FormatOptions room = options;
    if (minus) {
        appendLiteral(out, QStringLiteral("-"));
        room.generalWidth = std::max(options.generalWidth - 1, 1);  // the sign is one of General's characters
    }
    formatNumberSection(*section, std::fabs(v), room, out);
    return out;
}

QString builtInNumberFormatCode(int id) {
    // The codes a US-English spreadsheet gives its built-in formats; 23 to 36 and 50 up are reserved for
    // other languages and have no code here.
    static const char* const codes[50] = {
        "General",
        "0",
        "0.00",
        "#,##0",
        "#,##0.00",
        "\"$\"#,##0_);\\(\"$\"#,##0\\)",
        "\"$\"#,##0_);[Red]\\(\"$\"#,##0\\)",
        "\"$\"#,##0.00_);\\(\"$\"#,##0.00\\)",
        "\"$\"#,##0.00_);[Red]\\(\"$\"#,##0.00\\)",
        "0%",
        "0.00%",
        "0.00E+00",
        "# ?/?",
        "# ?\?/??",
        "m/d/yyyy",
        "d-mmm-yy",
        "d-mmm",
        "mmm-yy",
        "h:mm AM/PM",
        "h:mm:ss AM/PM",
        "h:mm",
        "h:mm:ss",
        "m/d/yyyy h:mm",
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        "#,##0_);\\(#,##0\\)",
        "#,##0_);[Red]\\(#,##0\\)",
        "#,##0.00_);\\(#,##0.00\\)",
        "#,##0.00_);[Red]\\(#,##0.00\\)",
        "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
        "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",
        "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)",
        "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)",
        "mm:ss",
        "[h]:mm:ss",
        "mm:ss.0",
        "##0.0E+0",
        "@",
    };
    if (id < 0 || id >= 50 || !codes[id])
        return {};
    return QString::fromLatin1(codes[id]);
}

QString numberFormatCode(const Workbook& workbook, quint16 id, const QLocale& locale) {
    if (auto it = workbook.numberFormats.find(id); it != workbook.numberFormats.end())
        return it->second;
    // The short date, alone and with the time, follows the regional settings, as a spreadsheet shows it.
    if (id == 14)
        return shortDateFormatCode(locale);
    if (id == 22 && locale.language() != QLocale::C)
        return shortDateFormatCode(locale) + QStringLiteral(" h:mm");
    const QString builtIn = builtInNumberFormatCode(id);
    return builtIn.isEmpty() ? QStringLiteral("General") : builtIn;
}

FormattedText formatValue(const Workbook& workbook, quint16 formatId, const Value& value,
                          const QLocale& locale, int generalWidth) {
    FormatOptions options;
    options.date1904 = workbook.date1904;
    options.generalWidth = generalWidth;
    options.locale = locale;
    return NumberFormat(numberFormatCode(workbook, formatId, locale)).format(value, options);
}

}  // namespace spreadsheet
