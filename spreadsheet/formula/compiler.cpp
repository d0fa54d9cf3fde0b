// Compiles A1 formula text into BIFF8 tokens, writing the bytes a spreadsheet writes for the same
// text. Every operand is stored in the class its place asks for: an argument the function takes as a
// reference (SUM's, SUMIF's range) in the reference class, one it takes as a value in the value
// class, one it takes as an array (SUMPRODUCT's) in the array class together with everything inside
// it, so that other programs evaluate the file as written. A SUM of one argument is written as
// tAttrSum, of several as tFuncVar; formulas with volatile functions start with tAttrVolatile.
// Functions of the analysis add-in and functions newer than the format are called by name, as
// spreadsheets store them: tFuncVar 255 whose first argument is an external name of the add-in book
// (tNameX) or the hidden defined name "_xlfn." + name (tName); the book, its EXTERNNAME and
// EXTERNSHEET entry, or the NAME record, are added to the workbook when missing.

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/parser.h"
#include "spreadsheet/formula/reference_text.h"

namespace spreadsheet {

namespace {

using formula_detail::SyntaxNode;

// The EXTERNSHEET entry that reaches the add-in book and the 1-based index of the function's
// EXTERNNAME in it, added when missing.
std::pair<quint16, quint16> addInFunction(Workbook& workbook, const QString& name) {
    auto& books = workbook.supportingBooks;
    auto book = std::find_if(books.begin(), books.end(),
                             [](const SupportingBook& b) { return b.kind == SupportingBook::Kind::AddIn; });
    if (book == books.end()) {
        SupportingBook addIn;
        addIn.kind = SupportingBook::Kind::AddIn;
        books.push_back(addIn);
        book = books.end() - 1;
    }
    const quint16 bookIndex = quint16(book - books.begin());
    auto& names = book->externalNames;
    auto known = std::find_if(names.begin(), names.end(),
                              [&](const QString& n) { return n.compare(name, Qt::CaseInsensitive) == 0; });
    if (known == names.end()) {
        if (names.size() >= 0xFFFF)
            throw SpreadsheetError(QStringLiteral("The workbook calls too many add-in functions."));
        names.push_back(name);
        known = names.end() - 1;
    }
    const quint16 index = quint16(known - names.begin() + 1);
    auto& entries = workbook.externSheets;
    auto entry = std::find_if(entries.begin(), entries.end(),
                              [&](const ExternSheet& e) { return e.supportingBook == bookIndex; });
    if (entry == entries.end()) {
        if (entries.size() >= 0xFFFF)
            throw SpreadsheetError(QStringLiteral("The workbook refers to too many sheets."));
        // An add-in book has no sheets: both ends say so (-2).
        entries.push_back(ExternSheet{bookIndex, -2, -2});
        entry = entries.end() - 1;
    }
    return {quint16(entry - entries.begin()), index};
}

// The index in Workbook::names of the hidden name "_xlfn." + name, added when missing.
int futureFunctionName(Workbook& workbook, const QString& name) {
    const QString stored = QLatin1String(formula_detail::kFuturePrefix) + name;
    for (size_t i = 0; i < workbook.names.size(); ++i) {
        const DefinedName& defined = workbook.names[i];
        if (!defined.builtIn && defined.sheet < 0 && defined.name.compare(stored, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    if (workbook.names.size() >= 0xFFFF)
        throw SpreadsheetError(QStringLiteral("The workbook holds too many names."));
    // Names come after the link table, which a spreadsheet expects to hold the workbook's own book.
    if (std::none_of(workbook.supportingBooks.begin(), workbook.supportingBooks.end(),
                     [](const SupportingBook& b) { return b.kind == SupportingBook::Kind::Self; }))
        workbook.supportingBooks.push_back(SupportingBook{});
    DefinedName defined;
    defined.name = stored;
    defined.hidden = true;
    defined.otherFlags = 0x000A;                           // a function (fFunc) of a macro (fProc): no range
    defined.formula.tokens = QByteArray::fromHex("1C1D");  // #NAME? where the function is unknown
    workbook.names.push_back(defined);
    return int(workbook.names.size() - 1);
}

class Emitter {
public:
    // Without a workbook, names and other sheets cannot be written.
    Emitter(Workbook* workbook, int sheet, bool definition)
        : workbook_(workbook), sheet_(sheet), definition_(definition) {}

    QByteArray bytes;
    QByteArray extra;
    bool isVolatile = false;

    void write(const SyntaxNode& node, char context) {
        switch (node.kind) {
            case SyntaxNode::Kind::Number:
                emitNumber(node.number);
                break;
            case SyntaxNode::Kind::String:
                byte(ptg::kStr);
                emitString(node.text, false);
                break;
            case SyntaxNode::Kind::Boolean:
                byte(ptg::kBool);
                byte(node.boolean ? 1 : 0);
                break;
            case SyntaxNode::Kind::Error:
                byte(ptg::kErr);
                byte(quint8(node.error));
                break;
            case SyntaxNode::Kind::Missing:
                byte(ptg::kMissArg);
                break;
            case SyntaxNode::Kind::Array:
                byte(classed(ptg::kArray, context == 'V' ? 'V' : 'A'));
                bytes.append(7, '\0');
                emitArray(node.array);
                break;
            case SyntaxNode::Kind::Reference:
                emitReference(node, context);
                break;
            case SyntaxNode::Kind::Name:
                byte(classed(ptg::kName, context));
                word(quint16(nameIndex(node.text) + 1));
                word(0);
                break;
            case SyntaxNode::Kind::Function:
                emitFunction(node, context);
                break;
            case SyntaxNode::Kind::Unary:
                write(*node.children[0], context == 'A' ? 'A' : 'V');
                byte(node.op);
                break;
            case SyntaxNode::Kind::Binary: {
                const bool reference = node.op >= ptg::kIntersect && node.op <= ptg::kRange;
                const char operands = reference ? 'R' : (context == 'A' ? 'A' : 'V');
                write(*node.children[0], operands);
                write(*node.children[1], operands);
                byte(node.op);
                break;
            }
            case SyntaxNode::Kind::Paren:
                write(*node.children[0], context);
                byte(ptg::kParen);
                break;
        }
    }

private:
    static quint8 classed(quint8 referenceCode, char context) {
        return quint8(referenceCode + (context == 'V' ? 0x20 : context == 'A' ? 0x40 : 0));
    }
    static quint16 columnWord(const ptg::RefOperand& ref) {
        quint16 w = quint16(ref.cell.column);
        if (ref.columnRelative)
            w |= ptg::kColumnRelative;
        if (ref.rowRelative)
            w |= ptg::kRowRelative;
        return w;
    }
    [[noreturn]] static void fail(const QString& why) {
        throw SpreadsheetError(QStringLiteral("Cannot compile the formula: %1.").arg(why));
    }

    void byte(quint8 b) { bytes.append(char(b)); }
    void word(quint16 w) {
        byte(quint8(w & 0xFF));
        byte(quint8(w >> 8));
    }
    static void appendDouble(QByteArray& out, double v) {
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char le[8];
        qToLittleEndian(bits, le);
        out.append(le, 8);
    }
    void emitNumber(double v) {
        if (v >= 0 && v <= 65535 && v == std::floor(v)) {
            byte(ptg::kInt);
            word(quint16(v));
            return;
        }
        byte(ptg::kNum);
        appendDouble(bytes, v);
    }
    // A short string (tStr, 8-bit length) or an array element's string (16-bit length).
    void emitString(const QString& text, bool intoExtra) {
        QByteArray& out = intoExtra ? extra : bytes;
        if (intoExtra) {
            out.append(char(text.size() & 0xFF));
            out.append(char(text.size() >> 8));
        } else {
            out.append(char(quint8(text.size())));
        }
        const bool wide = std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
        out.append(char(wide ? 1 : 0));
        for (QChar c : text) {
            out.append(char(c.unicode() & 0xFF));
            if (wide)
                out.append(char(c.unicode() >> 8));
        }
    }
    void emitArray(const ValueMatrix& m) {
        extra.append(char(quint8(m.columns - 1)));
        extra.append(char((m.rows - 1) & 0xFF));
        extra.append(char((m.rows - 1) >> 8));
        for (const Value& v : m.values) {
            if (const double* d = std::get_if<double>(&v)) {
                extra.append(char(0x01));
                appendDouble(extra, *d);
            } else if (const QString* s = std::get_if<QString>(&v)) {
                extra.append(char(0x02));
                emitString(*s, true);
            } else if (const bool* b = std::get_if<bool>(&v)) {
                extra.append(char(0x04));
                extra.append(char(*b ? 1 : 0));
                extra.append(7, '\0');
            } else if (const ErrorCode* e = std::get_if<ErrorCode>(&v)) {
                extra.append(char(0x10));
                extra.append(char(quint8(*e)));
                extra.append(7, '\0');
            } else {
                extra.append(char(0x00));
                extra.append(8, '\0');
            }
        }
    }

    int sheetByName(const QString& name) const {
        for (size_t i = 0; i < workbook_->sheets.size(); ++i) {
            if (workbook_->sheets[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        }
        fail(QStringLiteral("there is no sheet \"%1\"").arg(name));
    }

    void emitReference(const SyntaxNode& node, char context) {
        const bool threeD = node.firstSheet.has_value() || definition_;
        if (!threeD) {
            byte(classed(node.isArea ? ptg::kArea : ptg::kRef, context));
        } else {
            if (!workbook_)
                fail(QStringLiteral("a reference to another sheet needs the workbook"));
            const int first = node.firstSheet ? sheetByName(*node.firstSheet) : sheet_;
            const int last = node.lastSheet ? sheetByName(*node.lastSheet) : first;
            byte(classed(node.isArea ? ptg::kArea3d : ptg::kRef3d, context));
            word(externSheetFor(*workbook_, std::min(first, last), std::max(first, last)));
        }
        word(quint16(node.first.cell.row));
        if (node.isArea)
            word(quint16(node.last.cell.row));
        word(columnWord(node.first));
        if (node.isArea)
            word(columnWord(node.last));
    }

    int nameIndex(const QString& name) const {
        if (!workbook_)
            fail(QStringLiteral("the name \"%1\" needs the workbook").arg(name));
        const int index = formula_detail::findName(*workbook_, name, sheet_);
        if (index < 0)
            fail(QStringLiteral("the name \"%1\" is not defined").arg(name));
        return index;
    }

    // The name token that starts a call by name.
    void emitCalledName(const formula_detail::FunctionInfo& info) {
        const QString name = QString::fromLatin1(info.name);
        if (!workbook_)
            fail(QStringLiteral("the function %1 needs the workbook").arg(name));
        if (info.storage == formula_detail::Storage::AddIn) {
            const auto [ixti, index] = addInFunction(*workbook_, name);
            byte(classed(ptg::kNameX, 'R'));
            word(ixti);
            word(index);
            word(0);
        } else {
            byte(classed(ptg::kName, 'R'));
            word(quint16(futureFunctionName(*workbook_, name) + 1));
            word(0);
        }
    }

    void emitFunction(const SyntaxNode& node, char context) {
        const formula_detail::FunctionInfo& info = *node.function;
        isVolatile = isVolatile || info.isVolatile;
        const bool byName = info.storage != formula_detail::Storage::BuiltIn;
        if (byName)
            emitCalledName(info);
        for (size_t i = 0; i < node.children.size(); ++i) {
            const char wanted = info.argumentClass(i);
            write(*node.children[i], context == 'A' && wanted == 'V' ? 'A' : wanted);
        }
        const char own = info.returns == 'R' && context == 'R' ? 'R' : (context == 'A' ? 'A' : 'V');
        if (info.index == ptg::kFunctionSum && node.children.size() == 1) {
            byte(ptg::kAttr);
            byte(ptg::kAttrSum);
            word(0);
        } else if (byName) {
            byte(classed(ptg::kFuncVar, own));
            byte(quint8(node.children.size() + 1));
            word(ptg::kFunctionUserDefined);
        } else if (info.fixedCount()) {
            byte(classed(ptg::kFunc, own));
            word(quint16(info.index));
        } else {
            byte(classed(ptg::kFuncVar, own));
            byte(quint8(node.children.size()));
            word(quint16(info.index));
        }
    }

    Workbook* workbook_;
    int sheet_;
    bool definition_;
};

// `rootClass`: 'R' for a name's definition, 'V' for a cell's formula, 'A' for an array formula.
Formula compile(const QString& text, Workbook* workbook, int sheet, char rootClass) {
    const bool definition = rootClass == 'R';
    // A spreadsheet takes formulas of up to 8192 characters; the tokens must fit one record.
    if (text.size() > 8192)
        throw SpreadsheetError(QStringLiteral("The formula is longer than 8192 characters."));
    const formula_detail::SyntaxNodePtr root = formula_detail::parseFormula(text);
    Emitter emitter(workbook, sheet, definition);
    emitter.write(*root, rootClass);
    if (emitter.bytes.size() > 8000 || emitter.extra.size() > 8000)
        throw SpreadsheetError(QStringLiteral("The formula is too long."));
    Formula formula;
    if (emitter.isVolatile) {
        formula.tokens = QByteArray::fromHex("19010000");  // tAttrVolatile
        formula.alwaysCalculate = true;
    }
    formula.tokens += emitter.bytes;
    formula.extra = emitter.extra;
    return formula;
}

}  // namespace

quint16 externSheetFor(Workbook& workbook, int firstSheet, int lastSheet) {
    auto self = std::find_if(workbook.supportingBooks.begin(), workbook.supportingBooks.end(),
                             [](const SupportingBook& b) { return b.kind == SupportingBook::Kind::Self; });
    if (self == workbook.supportingBooks.end()) {
        workbook.supportingBooks.push_back(SupportingBook{});
        self = workbook.supportingBooks.end() - 1;
    }
    const ExternSheet wanted{quint16(self - workbook.supportingBooks.begin()), qint16(firstSheet),
                             qint16(lastSheet)};
    auto it = std::find(workbook.externSheets.begin(), workbook.externSheets.end(), wanted);
    if (it != workbook.externSheets.end())
        return quint16(it - workbook.externSheets.begin());
    if (workbook.externSheets.size() >= 0xFFFF)
        throw SpreadsheetError(QStringLiteral("The workbook refers to too many sheets."));
    workbook.externSheets.push_back(wanted);
    return quint16(workbook.externSheets.size() - 1);
}

Formula compileFormula(const QString& text) {
    return compile(text, nullptr, 0, 'V');
}

Formula compileFormula(const QString& text, Workbook& workbook, int sheetIndex) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size())
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheetIndex + 1));
    return compile(text, &workbook, sheetIndex, 'V');
}

int defineName(Workbook& workbook, const QString& name, const QString& definition, int sheet) {
    if (workbook.sheets.empty())
        throw SpreadsheetError(QStringLiteral("A name needs a workbook with a sheet."));
    if (sheet >= int(workbook.sheets.size()))
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheet + 1));
    const bool valid = !name.isEmpty() && (name[0].isLetter() || name[0] == u'_') && !parseCellName(name) &&
                       std::all_of(name.begin(), name.end(),
                                   [](QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'.'; });
    if (!valid)
        throw SpreadsheetError(QStringLiteral("\"%1\" cannot be the name of a range.").arg(name));
    DefinedName defined;
    defined.name = name;
    defined.sheet = sheet;
    // References without a sheet are to the name's own sheet, or the active one for a workbook name.
    defined.formula = compile(definition, &workbook, sheet >= 0 ? sheet : workbook.activeSheetIndex(), 'R');
    for (size_t i = 0; i < workbook.names.size(); ++i) {
        DefinedName& existing = workbook.names[i];
        if (existing.sheet == sheet && existing.name.compare(name, Qt::CaseInsensitive) == 0) {
            existing = defined;
            return int(i);
        }
    }
    workbook.names.push_back(defined);
    return int(workbook.names.size() - 1);
}

void setArrayFormula(Workbook& workbook, int sheetIndex, CellRange range, const QString& text) {
    if (sheetIndex < 0 || size_t(sheetIndex) >= workbook.sheets.size())
        throw SpreadsheetError(QStringLiteral("There is no worksheet %1.").arg(sheetIndex + 1));
    if (!range.first.isValid() || !range.last.isValid() || range.first.row > range.last.row ||
        range.first.column > range.last.column)
        throw SpreadsheetError(QStringLiteral("An array formula needs a range of cells."));
    Worksheet& sheet = workbook.sheets[size_t(sheetIndex)];
    // Another array may be replaced whole, never cut through, as a spreadsheet refuses to change
    // part of an array.
    std::vector<CellRef> replaced;
    for (const auto& [anchor, other] : sheet.arrayFormulas) {
        const CellRange& o = other.range;
        const bool overlaps = o.first.row <= range.last.row && range.first.row <= o.last.row &&
                              o.first.column <= range.last.column && range.first.column <= o.last.column;
        if (!overlaps)
            continue;
        if (!(range.contains(o.first) && range.contains(o.last)))
            throw SpreadsheetError(
                QStringLiteral("A part of the array formula at %1 cannot be changed.").arg(cellName(anchor)));
        replaced.push_back(anchor);
    }
    QString body = text.trimmed();
    if (body.startsWith(u'{') && body.endsWith(u'}'))
        body = body.mid(1, body.size() - 2);
    const Formula compiled = compile(body, &workbook, sheetIndex, 'A');

    for (const CellRef& anchor : replaced)
        sheet.arrayFormulas.erase(anchor);
    ArrayFormula array;
    array.range = range;
    array.tokens = compiled.tokens;
    array.extra = compiled.extra;
    array.flags = compiled.alwaysCalculate ? 0x0001 : 0x0000;
    sheet.arrayFormulas[range.first] = array;
    // Each cell only points (tExp) at the array's first cell.
    QByteArray pointer(5, '\0');
    pointer[0] = char(0x01);
    qToLittleEndian<quint16>(quint16(range.first.row), pointer.data() + 1);
    qToLittleEndian<quint16>(quint16(range.first.column), pointer.data() + 3);
    for (int row = range.first.row; row <= range.last.row; ++row) {
        for (int column = range.first.column; column <= range.last.column; ++column) {
            Cell& cell = sheet.cellForWriting({row, column});
            cell.formula = Formula{pointer, {}, compiled.alwaysCalculate, false};
            cell.value = {};
        }
    }
}

}  // namespace spreadsheet
