// Shows a token stream as A1 text. The stream keeps the parentheses a person typed (tParen), so
// operators are joined without adding any.

#include <QStringList>
#include <vector>

#include "spreadsheet/error.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula_tokens.h"

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

}  // namespace

QString formulaText(const Formula& formula) {
    const ptg::DecodeResult decoded = ptg::decodeTokens(formula.tokens);
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
            case ptg::kStr: {
                QString quoted = t.text;
                stack.push_back(u'"' + quoted.replace(u'"', QLatin1String("\"\"")) + u'"');
                break;
            }
            case ptg::kErr:
                stack.push_back(errorText(ErrorCode(t.byte)));
                break;
            case ptg::kBool:
                stack.push_back(t.byte ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
                break;
            case ptg::kInt:
            case ptg::kNum:
                stack.push_back(numberText(t.number));
                break;
            case ptg::kRef:
                if (t.columnOutOfRange)
                    unreadable(QStringLiteral("a reference lies past the last column"));
                stack.push_back(refText(t.first));
                break;
            case ptg::kArea:
                if (t.columnOutOfRange)
                    unreadable(QStringLiteral("a reference lies past the last column"));
                stack.push_back(refText(t.first) + u':' + refText(t.last));
                break;
            case ptg::kRefErr:
            case ptg::kAreaErr:
                stack.push_back(errorText(ErrorCode::Ref));
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
                const ptg::FunctionInfo* info = ptg::functionByIndex(t.word);
                if (!info)
                    unreadable(QStringLiteral("function number %1 is not known").arg(t.word));
                const int argc = t.base == ptg::kFuncVar ? t.byte : info->fixedArguments;
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

}  // namespace spreadsheet
