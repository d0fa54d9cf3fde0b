// Shows a token stream as A1 text. The stream keeps the parentheses a person typed (tParen), so
// operators are joined without adding any.

#include <QStringList>
#include <vector>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/reference_text.h"

namespace spreadsheet {

namespace {

QString refText(const ptg::RefOperand& ref) {
    QString text;
    if (!ref.columnRelative)
        text += u'$';
    text += columnName(ref.cell.column);
    if (!ref.rowRelative)
        text += u'$';
    text += QString::number(ref.cell.row + 1);
    return text;
}

// B6:B16, or B:B and 6:6 for whole columns and rows. A whole column or row leaves its other direction
// unsaid, and the compiler reads it as absolute: an area that spans the sheet with relative rows (or
// columns) is shown with its corners, or its text would read back as another reference.
QString areaText(const ptg::Token& t) {
    const bool absoluteRows = !t.first.rowRelative && !t.last.rowRelative;
    const bool absoluteColumns = !t.first.columnRelative && !t.last.columnRelative;
    if (t.first.cell.row == 0 && t.last.cell.row == kMaxRows - 1 && absoluteRows) {
        auto column = [](const ptg::RefOperand& r) {
            return (r.columnRelative ? QString() : QStringLiteral("$")) + columnName(r.cell.column);
        };
        return column(t.first) + u':' + column(t.last);
    }
    if (t.first.cell.column == 0 && t.last.cell.column == kMaxColumns - 1 && absoluteColumns) {
        auto row = [](const ptg::RefOperand& r) {
            return (r.rowRelative ? QString() : QStringLiteral("$")) + QString::number(r.cell.row + 1);
        };
        return row(t.first) + u':' + row(t.last);
    }
    return refText(t.first) + u':' + refText(t.last);
}

QString numberText(double v) {
    QString text = QString::number(v, 'g', 15);
    return text.replace(QLatin1String("e+"), QLatin1String("E+")).replace(u'e', u'E');
}

QString binarySymbol(quint8 code) {
    switch (code) {
        case ptg::kAdd:
            return QStringLiteral("+");
        case ptg::kSub:
            return QStringLiteral("-");
        case ptg::kMul:
            return QStringLiteral("*");
        case ptg::kDiv:
            return QStringLiteral("/");
        case ptg::kPower:
            return QStringLiteral("^");
        case ptg::kConcat:
            return QStringLiteral("&");
        case ptg::kLess:
            return QStringLiteral("<");
        case ptg::kLessEqual:
            return QStringLiteral("<=");
        case ptg::kEqual:
            return QStringLiteral("=");
        case ptg::kGreaterEqual:
            return QStringLiteral(">=");
        case ptg::kGreater:
            return QStringLiteral(">");
        case ptg::kNotEqual:
            return QStringLiteral("<>");
        case ptg::kIntersect:
            return QStringLiteral(" ");
        case ptg::kUnion:
            return QStringLiteral(",");
        case ptg::kRange:
            return QStringLiteral(":");
        default:
            return {};
    }
}

[[noreturn]] void unreadable(const QString& why) {
    throw SpreadsheetError(QStringLiteral("The formula cannot be shown: %1.").arg(why));
}

QString constantText(const Value& v) {
    if (const double* d = std::get_if<double>(&v))
        return numberText(*d);
    if (const QString* text = std::get_if<QString>(&v)) {
        QString quoted = *text;
        return u'"' + quoted.replace(u'"', QLatin1String("\"\"")) + u'"';
    }
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (const ErrorCode* e = std::get_if<ErrorCode>(&v))
        return errorText(*e);
    return {};
}

QString arrayText(const ValueMatrix& m) {
    QString text = QStringLiteral("{");
    for (int row = 0; row < m.rows; ++row) {
        if (row > 0)
            text += u';';
        for (int column = 0; column < m.columns; ++column) {
            if (column > 0)
                text += u',';
            text += constantText(m.at(row, column));
        }
    }
    return text + u'}';
}

// The sheets of a 3-D reference as a formula names them: Data!, 'My sheet'!, First:Last!.
QString sheetsText(const Workbook* workbook, quint16 ixti) {
    if (!workbook)
        unreadable(QStringLiteral("a reference to another sheet needs the workbook"));
    if (ixti >= workbook->externSheets.size())
        return QStringLiteral("#REF");
    const ExternSheet& entry = workbook->externSheets[ixti];
    if (entry.supportingBook >= workbook->supportingBooks.size())
        return QStringLiteral("#REF");
    const SupportingBook& book = workbook->supportingBooks[entry.supportingBook];
    auto nameOf = [&](int sheet) -> std::optional<QString> {
        if (book.kind == SupportingBook::Kind::Self && sheet >= 0 && size_t(sheet) < workbook->sheets.size())
            return workbook->sheets[size_t(sheet)].name;
        if (book.kind == SupportingBook::Kind::External && sheet >= 0 &&
            size_t(sheet) < book.sheetNames.size())
            return book.sheetNames[size_t(sheet)];
        return std::nullopt;
    };
    const auto first = nameOf(entry.firstSheet);
    const auto last = nameOf(entry.lastSheet);
    if (!first || !last)
        return QStringLiteral("#REF");
    QString sheets = *first == *last ? *first : *first + u':' + *last;
    if (book.kind == SupportingBook::Kind::External)
        sheets = u'[' + book.url + u']' + sheets;
    return formula_detail::sheetNameText(sheets);
}

QString externalNameText(const Workbook* workbook, const ptg::Token& t) {
    if (!workbook)
        unreadable(QStringLiteral("an external name needs the workbook"));
    if (t.ixti < workbook->externSheets.size()) {
        const quint16 book = workbook->externSheets[t.ixti].supportingBook;
        if (book < workbook->supportingBooks.size()) {
            const auto& names = workbook->supportingBooks[book].externalNames;
            if (t.word >= 1 && t.word <= names.size())
                return names[t.word - 1];
        }
    }
    return errorText(ErrorCode::Name);
}

QString textOf(const Formula& formula, const Workbook* workbook) {
    const ptg::DecodeResult decoded = ptg::decodeTokens(formula.tokens, formula.extra);
    if (decoded.status == ptg::DecodeStatus::Truncated) {
        unreadable(QStringLiteral("the token at byte %1 is cut off").arg(decoded.failedAt));
    }
    if (decoded.status == ptg::DecodeStatus::Unknown) {
        unreadable(QStringLiteral("the token at byte %1 is not known").arg(decoded.failedAt));
    }

    std::vector<QString> stack;
    auto pop = [&] {
        if (stack.empty())
            unreadable(QStringLiteral("an operator lacks an operand"));
        QString top = std::move(stack.back());
        stack.pop_back();
        return top;
    };
    auto call = [&](const QString& name, int argc) {
        if (argc < 0 || size_t(argc) > stack.size())
            unreadable(QStringLiteral("%1 lacks arguments").arg(name));
        QStringList args;
        for (size_t i = stack.size() - size_t(argc); i < stack.size(); ++i)
            args << stack[i];
        stack.resize(stack.size() - size_t(argc));
        stack.push_back(name + u'(' + args.join(u',') + u')');
    };

    for (const ptg::Token& t : decoded.tokens) {
        if (const QString symbol = binarySymbol(t.base); !symbol.isEmpty()) {
            const QString right = pop();
            const QString left = pop();
            stack.push_back(left + symbol + right);
            continue;
        }
        switch (t.base) {
            case ptg::kUplus:
                stack.push_back(u'+' + pop());
                break;
            case ptg::kUminus:
                stack.push_back(u'-' + pop());
                break;
            case ptg::kPercent:
                stack.push_back(pop() + u'%');
                break;
            case ptg::kParen:
                stack.push_back(u'(' + pop() + u')');
                break;
            case ptg::kMissArg:
                stack.emplace_back();
                break;
            case ptg::kStr:
                stack.push_back(constantText(t.text));
                break;
            case ptg::kErr:
                stack.push_back(errorText(ErrorCode(t.byte)));
                break;
            case ptg::kBool:
                stack.push_back(constantText(t.byte != 0));
                break;
            case ptg::kInt:
            case ptg::kNum:
                stack.push_back(numberText(t.number));
                break;
            case ptg::kArray:
                stack.push_back(arrayText(decoded.arrays[size_t(t.array)]));
                break;
            case ptg::kRef:
            case ptg::kArea:
                if (t.columnOutOfRange)
                    unreadable(QStringLiteral("a reference lies past the last column"));
                stack.push_back(t.base == ptg::kRef ? refText(t.first) : areaText(t));
                break;
            case ptg::kRef3d:
            case ptg::kArea3d:
                if (t.columnOutOfRange)
                    unreadable(QStringLiteral("a reference lies past the last column"));
                stack.push_back(sheetsText(workbook, t.ixti) + u'!' +
                                (t.base == ptg::kRef3d ? refText(t.first) : areaText(t)));
                break;
            case ptg::kRefErr:
            case ptg::kAreaErr:
                stack.push_back(errorText(ErrorCode::Ref));
                break;
            case ptg::kRefErr3d:
            case ptg::kAreaErr3d:
                stack.push_back(sheetsText(workbook, t.ixti) + u'!' + errorText(ErrorCode::Ref));
                break;
            case ptg::kName: {
                if (!workbook)
                    unreadable(QStringLiteral("a name needs the workbook"));
                const int index = int(t.word) - 1;
                stack.push_back(index >= 0 && size_t(index) < workbook->names.size()
                                    ? workbook->names[size_t(index)].name
                                    : errorText(ErrorCode::Name));
                break;
            }
            case ptg::kNameX:
                stack.push_back(externalNameText(workbook, t));
                break;
            case ptg::kAttr:
                if (t.byte & ptg::kAttrSum)
                    call(QStringLiteral("SUM"), 1);
                break;  // the other attributes only steer evaluation or keep white space
            case ptg::kMemArea:
            case ptg::kMemErr:
            case ptg::kMemNoMem:
            case ptg::kMemFunc:
                break;  // the subexpression that follows carries the text
            case ptg::kFunc:
            case ptg::kFuncVar: {
                if (t.base == ptg::kFuncVar && t.word == ptg::kFunctionUserDefined) {
                    // An add-in, newer or macro function: its name is the first argument, shown as a
                    // spreadsheet shows it (IFERROR for the stored _xlfn.IFERROR).
                    if (t.byte < 1 || size_t(t.byte) > stack.size())
                        unreadable(QStringLiteral("a function lacks its name"));
                    QString name = formula_detail::calledNameText(stack[stack.size() - t.byte]);
                    stack.erase(stack.end() - t.byte);
                    call(name, t.byte - 1);
                    break;
                }
                const formula_detail::FunctionInfo* info = formula_detail::functionByIndex(t.word);
                if (!info)
                    unreadable(QStringLiteral("function number %1 is not known").arg(t.word));
                const int argc = t.base == ptg::kFuncVar ? t.byte : info->minArguments;
                call(QString::fromLatin1(info->name), argc);
                break;
            }
            default:
                unreadable(QStringLiteral("the token 0x%1 is not shown").arg(t.code, 2, 16, QChar(u'0')));
        }
    }
    if (stack.size() != 1)
        unreadable(QStringLiteral("the tokens do not form one expression"));
    return stack.front();
}

}  // namespace

QString formulaText(const Formula& formula) {
    return textOf(formula, nullptr);
}

QString formulaText(const Formula& formula, const Workbook& workbook) {
    return textOf(formula, &workbook);
}

QString cellFormulaText(const Workbook& workbook, int sheetIndex, CellRef at) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size())
        return {};
    const Worksheet& sheet = workbook.sheets[size_t(sheetIndex)];
    const Cell* cell = sheet.cell(at);
    if (!cell || !cell->formula)
        return {};
    if (const ArrayFormula* array = sheet.arrayFormulaAt(at))
        return QStringLiteral("{=") + textOf(Formula{array->tokens, array->extra, false, false}, &workbook) +
               u'}';
    return u'=' + textOf(*cell->formula, &workbook);
}

}  // namespace spreadsheet
