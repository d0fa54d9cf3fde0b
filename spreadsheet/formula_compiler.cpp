// Compiles A1 formula text into BIFF8 tokens, writing the bytes a spreadsheet writes for the same
// text: references inside SUM in the reference class, elsewhere in the value class; a SUM of one
// argument as tAttrSum, of several as tFuncVar.

#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula_tokens.h"

namespace spreadsheet {

namespace {

struct Node {
    enum class Kind { Number, String, Ref, Area, Unary, Binary, Paren, Sum } kind;
    double number = 0;
    QString text;
    ptg::RefOperand first;
    ptg::RefOperand last;
    quint8 op = 0;
    std::vector<std::unique_ptr<Node>> children;
};
using NodePtr = std::unique_ptr<Node>;

NodePtr makeNode(Node::Kind kind) {
    auto node = std::make_unique<Node>();
    node->kind = kind;
    return node;
}

// Recursive descent over the text; depth is bounded so that a hostile text cannot exhaust the stack.
class Parser {
public:
    explicit Parser(const QString& text) : s_(text) {
        skipSpaces();
        if (pos_ < s_.size() && s_[pos_] == u'=')
            ++pos_;
    }

    NodePtr parse() {
        NodePtr node = additive();
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

    void skipSpaces() {
        while (pos_ < s_.size() && s_[pos_].isSpace())
            ++pos_;
    }
    bool accept(QChar c) {
        skipSpaces();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(QChar c) {
        if (!accept(c))
            fail(QStringLiteral("\"%1\" expected").arg(c));
    }

    struct DepthGuard {
        explicit DepthGuard(Parser& p) : parser(p) {
            if (++parser.depth_ > kMaxDepth)
                parser.fail(QStringLiteral("it is nested too deeply"));
        }
        ~DepthGuard() { --parser.depth_; }
        Parser& parser;
    };

    NodePtr binary(quint8 op, NodePtr left, NodePtr right) {
        auto node = makeNode(Node::Kind::Binary);
        node->op = op;
        node->children.push_back(std::move(left));
        node->children.push_back(std::move(right));
        return node;
    }

    NodePtr additive() {
        NodePtr left = multiplicative();
        for (;;) {
            if (accept(u'+')) {
                left = binary(ptg::kAdd, std::move(left), multiplicative());
            } else if (accept(u'-')) {
                left = binary(ptg::kSub, std::move(left), multiplicative());
            } else {
                return left;
            }
        }
    }

    NodePtr multiplicative() {
        NodePtr left = unary();
        for (;;) {
            if (accept(u'*')) {
                left = binary(ptg::kMul, std::move(left), unary());
            } else if (accept(u'/')) {
                left = binary(ptg::kDiv, std::move(left), unary());
            } else {
                return left;
            }
        }
    }

    NodePtr unary() {
        DepthGuard guard(*this);
        quint8 op = 0;
        if (accept(u'-')) {
            op = ptg::kUminus;
        } else if (accept(u'+')) {
            op = ptg::kUplus;
        } else {
            return primary();
        }
        auto node = makeNode(Node::Kind::Unary);
        node->op = op;
        node->children.push_back(unary());
        return node;
    }

    NodePtr primary() {
        DepthGuard guard(*this);
        skipSpaces();
        if (pos_ >= s_.size())
            fail(QStringLiteral("it ends too early"));
        const QChar c = s_[pos_];
        if (c == u'(') {
            ++pos_;
            auto node = makeNode(Node::Kind::Paren);
            node->children.push_back(additive());
            expect(u')');
            return node;
        }
        if (c == u'"')
            return string();
        if (c.isDigit() || c == u'.')
            return number();
        if (c == u'$' || (c.isLetter() && c.unicode() < 128))
            return referenceOrFunction();
        fail(QStringLiteral("unexpected \"%1\"").arg(c));
    }

    NodePtr string() {
        ++pos_;  // opening quote
        QString text;
        for (;;) {
            if (pos_ >= s_.size())
                fail(QStringLiteral("a text is not closed"));
            const QChar c = s_[pos_++];
            if (c == u'"') {
                if (pos_ < s_.size() && s_[pos_] == u'"') {
                    text.append(u'"');
                    ++pos_;
                    continue;
                }
                break;
            }
            text.append(c);
        }
        if (text.size() > 255)
            fail(QStringLiteral("a text is longer than 255 characters"));
        auto node = makeNode(Node::Kind::String);
        node->text = text;
        return node;
    }

    NodePtr number() {
        const qsizetype start = pos_;
        auto digits = [&] {
            const qsizetype from = pos_;
            while (pos_ < s_.size() && s_[pos_].isDigit() && s_[pos_].unicode() < 128)
                ++pos_;
            return pos_ - from;
        };
        qsizetype count = digits();
        if (pos_ < s_.size() && s_[pos_] == u'.') {
            ++pos_;
            count += digits();
        }
        if (count == 0)
            fail(QStringLiteral("a number has no digits"));
        if (pos_ < s_.size() && (s_[pos_] == u'e' || s_[pos_] == u'E')) {
            ++pos_;
            if (pos_ < s_.size() && (s_[pos_] == u'+' || s_[pos_] == u'-'))
                ++pos_;
            if (digits() == 0)
                fail(QStringLiteral("an exponent has no digits"));
        }
        bool ok = false;
        const double value = s_.mid(start, pos_ - start).toDouble(&ok);
        if (!ok || !std::isfinite(value))
            fail(QStringLiteral("a number is out of range"));
        auto node = makeNode(Node::Kind::Number);
        node->number = value;
        return node;
    }

    // A cell reference: optional $, letters, optional $, digits; returns nothing when the text
    // there is not one (a function name, for instance) and leaves the position unchanged then.
    std::optional<ptg::RefOperand> cellReference() {
        const qsizetype start = pos_;
        ptg::RefOperand ref;
        if (pos_ < s_.size() && s_[pos_] == u'$') {
            ref.columnRelative = false;
            ++pos_;
        }
        const qsizetype lettersStart = pos_;
        while (pos_ < s_.size() && s_[pos_].isLetter() && s_[pos_].unicode() < 128)
            ++pos_;
        const qsizetype lettersEnd = pos_;
        if (pos_ < s_.size() && s_[pos_] == u'$') {
            ref.rowRelative = false;
            ++pos_;
        }
        const qsizetype digitsStart = pos_;
        while (pos_ < s_.size() && s_[pos_].isDigit() && s_[pos_].unicode() < 128)
            ++pos_;
        const bool followedByName = pos_ < s_.size() && (s_[pos_].isLetterOrNumber() || s_[pos_] == u'_');
        const auto cell = parseCellName(s_.mid(lettersStart, lettersEnd - lettersStart) +
                                        s_.mid(digitsStart, pos_ - digitsStart));
        if (lettersEnd == lettersStart || digitsStart == pos_ || followedByName || !cell) {
            pos_ = start;
            return std::nullopt;
        }
        ref.cell = *cell;
        return ref;
    }

    NodePtr referenceOrFunction() {
        if (auto first = cellReference()) {
            skipSpaces();
            if (pos_ < s_.size() && s_[pos_] == u':') {
                ++pos_;
                skipSpaces();
                auto last = cellReference();
                if (!last)
                    fail(QStringLiteral("a range has no end cell"));
                auto node = makeNode(Node::Kind::Area);
                // Stored corners are the top-left and bottom-right, each keeping its own $ flags.
                node->first = *first;
                node->last = *last;
                if (node->first.cell.row > node->last.cell.row) {
                    std::swap(node->first.cell.row, node->last.cell.row);
                    std::swap(node->first.rowRelative, node->last.rowRelative);
                }
                if (node->first.cell.column > node->last.cell.column) {
                    std::swap(node->first.cell.column, node->last.cell.column);
                    std::swap(node->first.columnRelative, node->last.columnRelative);
                }
                return node;
            }
            auto node = makeNode(Node::Kind::Ref);
            node->first = *first;
            node->last = *first;
            return node;
        }
        const qsizetype start = pos_;
        while (pos_ < s_.size() && (s_[pos_].isLetterOrNumber() || s_[pos_] == u'.' || s_[pos_] == u'_'))
            ++pos_;
        const QString name = s_.mid(start, pos_ - start).toUpper();
        if (!accept(u'('))
            fail(QStringLiteral("\"%1\" is not a cell reference").arg(name));
        if (name != QLatin1String("SUM"))
            fail(QStringLiteral("the function %1 is not supported").arg(name));
        auto node = makeNode(Node::Kind::Sum);
        if (accept(u')'))
            fail(QStringLiteral("SUM needs at least one argument"));
        do {
            node->children.push_back(additive());
        } while (accept(u','));
        expect(u')');
        if (node->children.size() > 30)
            fail(QStringLiteral("SUM takes at most 30 arguments"));
        return node;
    }

    const QString& s_;
    qsizetype pos_ = 0;
    int depth_ = 0;
};

class Emitter {
public:
    QByteArray bytes;

    void write(const Node& node, bool referenceContext) {
        switch (node.kind) {
            case Node::Kind::Number:
                emitNumber(node.number);
                break;
            case Node::Kind::String:
                emitString(node.text);
                break;
            case Node::Kind::Ref:
                byte(referenceContext ? ptg::kRef : ptg::valueClass(ptg::kRef));
                word(quint16(node.first.cell.row));
                word(columnWord(node.first));
                break;
            case Node::Kind::Area:
                byte(referenceContext ? ptg::kArea : ptg::valueClass(ptg::kArea));
                word(quint16(node.first.cell.row));
                word(quint16(node.last.cell.row));
                word(columnWord(node.first));
                word(columnWord(node.last));
                break;
            case Node::Kind::Unary:
                write(*node.children[0], false);
                byte(node.op);
                break;
            case Node::Kind::Binary:
                write(*node.children[0], false);
                write(*node.children[1], false);
                byte(node.op);
                break;
            case Node::Kind::Paren:
                write(*node.children[0], referenceContext);
                byte(ptg::kParen);
                break;
            case Node::Kind::Sum:
                // SUM takes references: its direct arguments stay in the reference class.
                for (const auto& child : node.children)
                    write(*child, true);
                if (node.children.size() == 1) {
                    byte(ptg::kAttr);
                    byte(ptg::kAttrSum);
                    word(0);
                } else {
                    byte(ptg::valueClass(ptg::kFuncVar));
                    byte(quint8(node.children.size()));
                    word(ptg::kFunctionSum);
                }
                break;
        }
    }

private:
    static quint16 columnWord(const ptg::RefOperand& ref) {
        quint16 w = quint16(ref.cell.column);
        if (ref.columnRelative)
            w |= ptg::kColumnRelative;
        if (ref.rowRelative)
            w |= ptg::kRowRelative;
        return w;
    }
    void byte(quint8 b) { bytes.append(char(b)); }
    void word(quint16 w) {
        byte(quint8(w & 0xFF));
        byte(quint8(w >> 8));
    }
    void emitNumber(double v) {
        if (v >= 0 && v <= 65535 && v == std::floor(v)) {
            byte(ptg::kInt);
            word(quint16(v));
            return;
        }
        byte(ptg::kNum);
        quint64 bits;
        std::memcpy(&bits, &v, sizeof bits);
        char le[8];
        qToLittleEndian(bits, le);
        bytes.append(le, 8);
    }
    void emitString(const QString& text) {
        byte(ptg::kStr);
        byte(quint8(text.size()));
        const bool wide = std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
        byte(wide ? 1 : 0);
        for (QChar c : text) {
            if (wide) {
                word(c.unicode());
            } else {
                byte(quint8(c.unicode()));
            }
        }
    }
};

}  // namespace

Formula compileFormula(const QString& text) {
    // A spreadsheet takes formulas of up to 8192 characters; the tokens must fit one record.
    if (text.size() > 8192)
        throw SpreadsheetError(QStringLiteral("The formula is longer than 8192 characters."));
    Parser parser(text);
    const NodePtr root = parser.parse();
    Emitter emitter;
    emitter.write(*root, false);
    if (emitter.bytes.size() > 8000)
        throw SpreadsheetError(QStringLiteral("The formula is too long."));
    Formula formula;
    formula.tokens = emitter.bytes;
    return formula;
}

}  // namespace spreadsheet
