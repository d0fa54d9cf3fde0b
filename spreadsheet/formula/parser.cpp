// Recursive descent over formula text with the operator precedence of spreadsheets, loosest first:
// comparisons, &, + -, * /, ^, %, unary + -, and the reference operators : and (in parentheses) the
// union ",". Depth is bounded so that a hostile text cannot exhaust the stack.

#include "spreadsheet/formula/parser.h"

#include "spreadsheet/error.h"
#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

SyntaxNodePtr makeNode(SyntaxNode::Kind kind) {
    auto node = std::make_unique<SyntaxNode>();
    node->kind = kind;
    return node;
}

bool isWordChar(QChar c) {
    return (c.isLetterOrNumber() && c.unicode() < 128) || c == u'_' || c == u'.';
}

class Parser {
public:
    explicit Parser(const QString& text) : s_(text) {
        skipSpaces();
        if (pos_ < s_.size() && s_[pos_] == u'=')
            ++pos_;
    }

    SyntaxNodePtr parse() {
        SyntaxNodePtr node = comparison();
        skipSpaces();
        if (pos_ != s_.size())
            fail(QStringLiteral("unexpected \"%1\"").arg(s_.mid(pos_, 10)));
        return node;
    }

private:
    static constexpr int kMaxDepth = 200;

    [[noreturn]] void fail(const QString& why) const {
        throw SpreadsheetError(QStringLiteral("Cannot read the formula \"%1\": %2.").arg(s_, why));
    }
    QChar peek(qsizetype ahead = 0) const { return pos_ + ahead < s_.size() ? s_[pos_ + ahead] : QChar(); }
    void skipSpaces() {
        while (pos_ < s_.size() && s_[pos_].isSpace())
            ++pos_;
    }
    bool accept(QStringView token) {
        skipSpaces();
        if (s_.mid(pos_, token.size()) == token) {
            pos_ += token.size();
            return true;
        }
        return false;
    }
    void expect(QStringView token) {
        if (!accept(token))
            fail(QStringLiteral("\"%1\" expected").arg(token));
    }

    struct DepthGuard {
        explicit DepthGuard(Parser& p) : parser(p) {
            if (++parser.depth_ > kMaxDepth)
                parser.fail(QStringLiteral("it is nested too deeply"));
        }
        ~DepthGuard() { --parser.depth_; }
        Parser& parser;
    };

    static SyntaxNodePtr binary(quint8 op, SyntaxNodePtr left, SyntaxNodePtr right) {
        auto node = makeNode(SyntaxNode::Kind::Binary);
        node->op = op;
        node->children.push_back(std::move(left));
        node->children.push_back(std::move(right));
        return node;
    }

    SyntaxNodePtr comparison() {
        DepthGuard guard(*this);
        SyntaxNodePtr left = concatenation();
        static const std::pair<const char16_t*, quint8> ops[] = {
            {u"<=", ptg::kLessEqual}, {u">=", ptg::kGreaterEqual}, {u"<>", ptg::kNotEqual},
            {u"<", ptg::kLess},       {u">", ptg::kGreater},       {u"=", ptg::kEqual}};
        for (;;) {
            bool matched = false;
            for (const auto& [symbol, op] : ops) {
                if (accept(QStringView(symbol))) {
                    left = binary(op, std::move(left), concatenation());
                    matched = true;
                    break;
                }
            }
            if (!matched)
                return left;
        }
    }

    SyntaxNodePtr concatenation() {
        SyntaxNodePtr left = additive();
        while (accept(u"&"))
            left = binary(ptg::kConcat, std::move(left), additive());
        return left;
    }

    SyntaxNodePtr additive() {
        SyntaxNodePtr left = multiplicative();
        for (;;) {
            if (accept(u"+")) {
                left = binary(ptg::kAdd, std::move(left), multiplicative());
            } else if (accept(u"-")) {
                left = binary(ptg::kSub, std::move(left), multiplicative());
            } else {
                return left;
            }
        }
    }

    SyntaxNodePtr multiplicative() {
        SyntaxNodePtr left = power();
        for (;;) {
            if (accept(u"*")) {
                left = binary(ptg::kMul, std::move(left), power());
            } else if (accept(u"/")) {
                left = binary(ptg::kDiv, std::move(left), power());
            } else {
                return left;
            }
        }
    }

    SyntaxNodePtr power() {
        SyntaxNodePtr left = percent();
        while (accept(u"^"))
            left = binary(ptg::kPower, std::move(left), percent());
        return left;
    }

    SyntaxNodePtr percent() {
        SyntaxNodePtr node = unary();
        while (accept(u"%")) {
            auto wrapped = makeNode(SyntaxNode::Kind::Unary);
            wrapped->op = ptg::kPercent;
            wrapped->children.push_back(std::move(node));
            node = std::move(wrapped);
        }
        return node;
    }

    SyntaxNodePtr unary() {
        DepthGuard guard(*this);
        quint8 op = 0;
        if (accept(u"-")) {
            op = ptg::kUminus;
        } else if (accept(u"+")) {
            op = ptg::kUplus;
        } else {
            return range();
        }
        auto node = makeNode(SyntaxNode::Kind::Unary);
        node->op = op;
        node->children.push_back(unary());
        return node;
    }

    // primary (":" primary)*: the range between two references, such as INDEX(...):B16.
    SyntaxNodePtr range() {
        SyntaxNodePtr left = primary();
        while (accept(u":"))
            left = binary(ptg::kRange, std::move(left), primary());
        return left;
    }

    SyntaxNodePtr primary() {
        DepthGuard guard(*this);
        skipSpaces();
        if (pos_ >= s_.size())
            fail(QStringLiteral("it ends too early"));
        const QChar c = s_[pos_];
        if (c == u'(') {
            ++pos_;
            auto node = makeNode(SyntaxNode::Kind::Paren);
            SyntaxNodePtr inner = comparison();
            while (accept(u","))
                inner = binary(ptg::kUnion, std::move(inner), comparison());
            node->children.push_back(std::move(inner));
            expect(u")");
            return node;
        }
        if (c == u'"') {
            auto node = makeNode(SyntaxNode::Kind::String);
            node->text = quoted(u'"');
            if (node->text.size() > 255)
                fail(QStringLiteral("a text is longer than 255 characters"));
            return node;
        }
        if (c == u'{')
            return arrayConstant();
        if (c == u'#') {
            auto node = makeNode(SyntaxNode::Kind::Error);
            node->error = errorLiteral();
            return node;
        }
        if (c == u'\'' || c == u'$' || c.isDigit() || c == u'.' || isWordChar(c)) {
            if (auto reference = referenceAt())
                return reference;
        }
        if (c.isDigit() || c == u'.') {
            auto node = makeNode(SyntaxNode::Kind::Number);
            node->number = number();
            return node;
        }
        if (isWordChar(c))
            return identifier();
        fail(QStringLiteral("unexpected \"%1\"").arg(c));
    }

    QString quoted(QChar quote) {
        ++pos_;
        QString text;
        for (;;) {
            if (pos_ >= s_.size())
                fail(QStringLiteral("a text is not closed"));
            const QChar c = s_[pos_++];
            if (c == quote) {
                if (peek() == quote) {
                    text.append(quote);
                    ++pos_;
                    continue;
                }
                return text;
            }
            text.append(c);
        }
    }

    ErrorCode errorLiteral() {
        for (ErrorCode e : {ErrorCode::Div0, ErrorCode::NA, ErrorCode::Name, ErrorCode::Null, ErrorCode::Num,
                            ErrorCode::Ref, ErrorCode::Value}) {
            const QString text = errorText(e);
            if (s_.mid(pos_, text.size()).compare(text, Qt::CaseInsensitive) == 0) {
                pos_ += text.size();
                return e;
            }
        }
        fail(QStringLiteral("an unknown error value"));
    }

    double number() {
        const qsizetype start = pos_;
        auto digits = [&] {
            const qsizetype from = pos_;
            while (pos_ < s_.size() && s_[pos_].isDigit() && s_[pos_].unicode() < 128)
                ++pos_;
            return pos_ - from;
        };
        qsizetype count = digits();
        if (peek() == u'.') {
            ++pos_;
            count += digits();
        }
        if (count == 0)
            fail(QStringLiteral("a number has no digits"));
        if (peek() == u'e' || peek() == u'E') {
            ++pos_;
            if (peek() == u'+' || peek() == u'-')
                ++pos_;
            if (digits() == 0)
                fail(QStringLiteral("an exponent has no digits"));
        }
        bool ok = false;
        const double value = s_.mid(start, pos_ - start).toDouble(&ok);
        if (!ok || !std::isfinite(value))
            fail(QStringLiteral("a number is out of range"));
        return value;
    }

    // {1,2;3,4}: numbers (with a sign), texts, truth values and errors.
    SyntaxNodePtr arrayConstant() {
        ++pos_;
        auto node = makeNode(SyntaxNode::Kind::Array);
        std::vector<std::vector<Value>> rows(1);
        for (;;) {
            skipSpaces();
            Value v;
            const bool negative = accept(u"-");
            skipSpaces();
            const QChar c = peek();
            if (c == u'"' && !negative) {
                v = quoted(u'"');
            } else if (c == u'#' && !negative) {
                v = errorLiteral();
            } else if (c.isDigit() || c == u'.') {
                v = negative ? -number() : number();
            } else if (accept(u"TRUE") || accept(u"true")) {
                v = true;
            } else if (accept(u"FALSE") || accept(u"false")) {
                v = false;
            } else {
                fail(QStringLiteral("an array holds something other than a constant"));
            }
            rows.back().push_back(v);
            if (accept(u";")) {
                rows.emplace_back();
            } else if (!accept(u",")) {
                break;
            }
        }
        expect(u"}");
        for (const auto& row : rows) {
            if (row.size() != rows.front().size())
                fail(QStringLiteral("the rows of an array differ in length"));
        }
        if (rows.size() > 65536 || rows.front().size() > 256)
            fail(QStringLiteral("an array is too large"));
        node->array.rows = int(rows.size());
        node->array.columns = int(rows.front().size());
        for (auto& row : rows)
            node->array.values.insert(node->array.values.end(), row.begin(), row.end());
        return node;
    }

    // A column (with $), a row (with $), or a cell; nothing when the text there is none of them.
    std::optional<ptg::RefOperand> corner(bool wantColumn, bool wantRow) {
        const qsizetype start = pos_;
        ptg::RefOperand ref;
        if (peek() == u'$') {
            ref.columnRelative = false;
            ++pos_;
        }
        const qsizetype lettersStart = pos_;
        while (pos_ < s_.size() && s_[pos_].isLetter() && s_[pos_].unicode() < 128)
            ++pos_;
        const QString letters = s_.mid(lettersStart, pos_ - lettersStart);
        if (!letters.isEmpty() && peek() == u'$') {
            ref.rowRelative = false;
            ++pos_;
        } else if (letters.isEmpty() && wantRow) {
            ref.rowRelative = ref.columnRelative;
            ref.columnRelative = true;
        }
        const qsizetype digitsStart = pos_;
        while (pos_ < s_.size() && s_[pos_].isDigit() && s_[pos_].unicode() < 128)
            ++pos_;
        const QString digits = s_.mid(digitsStart, pos_ - digitsStart);
        const bool followedByWord = pos_ < s_.size() && (isWordChar(s_[pos_]) || s_[pos_] == u'(');
        std::optional<CellRef> cell;
        if (!followedByWord) {
            if (!letters.isEmpty() && !digits.isEmpty()) {
                cell = parseCellName(letters + digits);
            } else if (wantColumn && !letters.isEmpty() && digits.isEmpty() && ref.rowRelative) {
                cell = parseCellName(letters + u'1');
                if (cell)
                    cell->row = -1;  // a whole column
            } else if (wantRow && letters.isEmpty() && !digits.isEmpty()) {
                cell = parseCellName(QStringLiteral("A") + digits);
                if (cell)
                    cell->column = -1;  // a whole row
            }
        }
        if (!cell) {
            pos_ = start;
            return std::nullopt;
        }
        ref.cell = *cell;
        return ref;
    }

    // Sheet!A1, 'My sheet'!A1:B2, First:Last!A1, B6, $B$6:B16, B:B, 6:16.
    SyntaxNodePtr referenceAt() {
        const qsizetype start = pos_;
        auto node = makeNode(SyntaxNode::Kind::Reference);
        if (auto sheets = sheetPrefix()) {
            node->firstSheet = sheets->first;
            node->lastSheet = sheets->second;
        }
        const qsizetype afterPrefix = pos_;
        if (auto first = corner(false, false)) {
            node->first = node->last = *first;
            const qsizetype afterFirst = pos_;
            if (accept(u":")) {
                skipSpaces();
                if (auto last = corner(false, false)) {
                    node->last = *last;
                    node->isArea = true;
                } else {
                    pos_ = afterFirst;  // a range to something else: the range operator
                }
            }
            return normalized(std::move(node));
        }
        // Whole columns and rows exist only as pairs: B:D, 6:16.
        for (const bool columns : {true, false}) {
            if (auto first = corner(columns, !columns)) {
                if (accept(u":")) {
                    skipSpaces();
                    if (auto last = corner(columns, !columns)) {
                        node->first = *first;
                        node->last = *last;
                        node->isArea = true;
                        const bool whole = first->cell.row < 0 || first->cell.column < 0;
                        if (whole && (last->cell.row < 0) == (first->cell.row < 0))
                            return normalized(std::move(node));
                    }
                }
            }
            pos_ = afterPrefix;
        }
        pos_ = start;
        if (node->firstSheet)
            fail(QStringLiteral("a sheet name is not followed by a reference"));
        return nullptr;
    }

    std::optional<std::pair<QString, QString>> sheetPrefix() {
        const qsizetype start = pos_;
        auto name = [&]() -> std::optional<QString> {
            if (peek() == u'\'')
                return quoted(u'\'');
            const qsizetype from = pos_;
            while (pos_ < s_.size() && isWordChar(s_[pos_]))
                ++pos_;
            if (pos_ == from)
                return std::nullopt;
            return s_.mid(from, pos_ - from);
        };
        auto first = name();
        if (first) {
            std::optional<QString> last = first;
            if (peek() == u':' && peek(1) != u'$') {
                ++pos_;
                last = name();
            }
            if (last && peek() == u'!') {
                ++pos_;
                // 'First sheet:Last sheet'!A1 quotes the span as a whole.
                if (first == last && first->contains(u':')) {
                    const qsizetype colon = first->indexOf(u':');
                    return std::pair{first->left(colon), first->mid(colon + 1)};
                }
                return std::pair{*first, *last};
            }
        }
        pos_ = start;
        return std::nullopt;
    }

    SyntaxNodePtr normalized(SyntaxNodePtr node) {
        auto& a = node->first;
        auto& b = node->last;
        // Whole columns and rows span the sheet in the other direction.
        if (a.cell.row < 0 || b.cell.row < 0) {
            a.cell.row = 0;
            b.cell.row = kMaxRows - 1;
            a.rowRelative = b.rowRelative = false;
        }
        if (a.cell.column < 0 || b.cell.column < 0) {
            a.cell.column = 0;
            b.cell.column = kMaxColumns - 1;
            a.columnRelative = b.columnRelative = false;
        }
        // Stored corners are the top-left and bottom-right, each keeping its own $ flags.
        if (a.cell.row > b.cell.row) {
            std::swap(a.cell.row, b.cell.row);
            std::swap(a.rowRelative, b.rowRelative);
        }
        if (a.cell.column > b.cell.column) {
            std::swap(a.cell.column, b.cell.column);
            std::swap(a.columnRelative, b.columnRelative);
        }
        return node;
    }

    SyntaxNodePtr identifier() {
        const qsizetype start = pos_;
        while (pos_ < s_.size() && isWordChar(s_[pos_]))
            ++pos_;
        const QString word = s_.mid(start, pos_ - start);
        const QString upper = word.toUpper();
        if (!accept(u"(")) {
            if (upper == QLatin1String("TRUE") || upper == QLatin1String("FALSE")) {
                auto node = makeNode(SyntaxNode::Kind::Boolean);
                node->boolean = upper == QLatin1String("TRUE");
                return node;
            }
            auto node = makeNode(SyntaxNode::Kind::Name);
            node->text = word;
            return node;
        }
        auto node = makeNode(SyntaxNode::Kind::Function);
        // A newer function may be written as it is stored: _xlfn.IFERROR.
        const QString prefix = QString::fromLatin1(kFuturePrefix).toUpper();
        node->function = functionByName(upper.startsWith(prefix) ? upper.mid(prefix.size()) : upper);
        if (!node->function)
            fail(QStringLiteral("the function %1 is not supported").arg(upper));
        skipSpaces();
        if (!accept(u")")) {
            do {
                skipSpaces();
                if (peek() == u',' || peek() == u')') {
                    node->children.push_back(makeNode(SyntaxNode::Kind::Missing));
                } else {
                    node->children.push_back(comparison());
                }
            } while (accept(u","));
            expect(u")");
        }
        const int count = int(node->children.size());
        if (count < node->function->minArguments || count > node->function->maxArguments) {
            fail(QStringLiteral("%1 takes %2 to %3 arguments")
                     .arg(upper)
                     .arg(node->function->minArguments)
                     .arg(node->function->maxArguments));
        }
        return node;
    }

    const QString& s_;
    qsizetype pos_ = 0;
    int depth_ = 0;
};

}  // namespace

SyntaxNodePtr parseFormula(const QString& text) {
    return Parser(text).parse();
}

}  // namespace spreadsheet::formula_detail
