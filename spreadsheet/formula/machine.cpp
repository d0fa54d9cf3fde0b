// The stack machine that runs one token stream. Conditional jumps (tAttrIf, tAttrSkip,
// tAttrChoose) are not followed: every branch is evaluated and the function picks its result,
// which gives the same value since evaluation has no side effects.
//
// What a formula shows when it holds something this engine does not evaluate (never the result
// another program stored with it; the cell is then marked so that a spreadsheet recalculates it):
//   - a function index the engine does not know, or an add-in or macro function it does not: #NAME?
//   - a defined name that does not exist or has no definition, an add-in name: #NAME?
//   - a reference or name into another file: #REF!
//   - a token the engine does not read (tables, macro-sheet tokens): #NAME? for the whole formula
//   - tokens that are cut off or do not form one expression: #VALUE! for the whole formula
// References that lost their target (tRefErr, a deleted sheet) are #REF! as in any spreadsheet.

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/operators.h"

namespace spreadsheet::formula_detail {

namespace {

bool isBinaryValueOperator(quint8 code) {
    return code >= ptg::kAdd && code <= ptg::kNotEqual;
}

bool isCallByName(const ptg::Token& t) {
    return t.base == ptg::kFuncVar && t.word == ptg::kFunctionUserDefined;
}

// What the machine must know of a stream before running it, found by replaying its stack shape:
// which tokens belong to an argument that takes arrays, and for each call by name (tFuncVar 255)
// the function its first argument names, that name token then standing for nothing but the name.
struct Plan {
    std::vector<char> inArray;
    std::vector<char> namesCalledFunction;
    std::vector<const FunctionInfo*> called;
};

// False when the tokens do not form one expression.
bool plan(const ptg::DecodeResult& decoded, const Workbook& workbook, Plan& out) {
    const std::vector<ptg::Token>& tokens = decoded.tokens;
    out.inArray.assign(tokens.size(), 0);
    out.namesCalledFunction.assign(tokens.size(), 0);
    out.called.assign(tokens.size(), nullptr);
    std::vector<size_t> starts;  // per stack entry: the first token of its subexpression
    for (size_t i = 0; i < tokens.size(); ++i) {
        const ptg::Token& t = tokens[i];
        int pops = 0;
        bool pushes = true;
        const FunctionInfo* info = nullptr;
        size_t skipped = 0;  // leading arguments that are no arguments of the function (the name)
        if (isBinaryValueOperator(t.base) || (t.base >= ptg::kIntersect && t.base <= ptg::kRange)) {
            pops = 2;
        } else if ((t.base >= ptg::kUplus && t.base <= ptg::kParen) || t.base == ptg::kAttr) {
            pops = t.base == ptg::kAttr ? ((t.byte & ptg::kAttrSum) ? 1 : 0) : 1;
            pushes = t.base != ptg::kAttr || pops == 1;
        } else if (t.base == ptg::kFunc || t.base == ptg::kFuncVar) {
            info = functionByIndex(t.word);
            pops = t.base == ptg::kFuncVar ? t.byte : (info ? info->minArguments : -1);
            if (pops < 0)
                return true;  // an unknown fixed-count function: the machine reports it
        } else if (t.base >= ptg::kMemArea && t.base <= ptg::kMemFunc) {
            pushes = false;
        }
        if (size_t(pops) > starts.size())
            return false;
        const size_t first = starts.size() - size_t(pops);
        size_t start = pops > 0 ? starts[first] : i;
        if (isCallByName(t) && pops > 0) {
            // The name must be the whole first argument (white space aside).
            const size_t name = starts[first];
            const size_t end = pops > 1 ? starts[first + 1] : i;
            bool alone = tokens[name].base == ptg::kName || tokens[name].base == ptg::kNameX;
            for (size_t k = name + 1; alone && k < end; ++k)
                alone = tokens[k].base == ptg::kAttr && !(tokens[k].byte & ptg::kAttrSum);
            info = alone ? functionNamedBy(workbook, tokens[name]) : nullptr;
            if (info) {
                out.called[i] = info;
                out.namesCalledFunction[name] = 1;
                skipped = 1;
            }
        }
        if (info) {
            for (size_t a = skipped; a < size_t(pops); ++a) {
                if (info->argumentClass(a - skipped) != 'A')
                    continue;
                const size_t end = a + 1 < size_t(pops) ? starts[first + a + 1] : i;
                std::fill(out.inArray.begin() + qsizetype(starts[first + a]),
                          out.inArray.begin() + qsizetype(end), 1);
            }
        }
        starts.resize(first);
        if (pushes)
            starts.push_back(start);
    }
    return starts.size() == 1;
}

class Machine {
public:
    Machine(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& decoded, int depth,
            bool wholeArray)
        : evaluator_(evaluator),
          workbook_(evaluator.workbook()),
          at_(at),
          decoded_(decoded),
          depth_(depth),
          wholeArray_(wholeArray) {}

    Evaluation run();

private:
    Operand pop() {
        Operand top = std::move(stack_.back());
        stack_.pop_back();
        return top;
    }
    void unsupported(Value shown) {
        outcome_ = Outcome::Unsupported;
        stack_.emplace_back(std::move(shown));
    }
    Area areaOf(const ptg::Token& t, int sheet) const { return areaOfToken(t, sheet, at_.ref); }
    void pushReference(const ptg::Token& t);
    void push3d(const ptg::Token& t);
    void pushName(const ptg::DecodeResult* tokens);
    void pushExternalName(const ptg::Token& t);
    bool callFunction(const ptg::Token& t, bool arrayContext, const FunctionInfo* called);

    const Evaluator& evaluator_;
    const Workbook& workbook_;
    CellKey at_;
    const ptg::DecodeResult& decoded_;
    int depth_;
    bool wholeArray_;  // an array formula: every operator and function takes arrays
    std::vector<Operand> stack_;
    Outcome outcome_ = Outcome::Done;
    bool volatile_ = false;
};

void Machine::pushReference(const ptg::Token& t) {
    if (t.columnOutOfRange) {
        stack_.emplace_back(Value(ErrorCode::Ref));
        return;
    }
    stack_.emplace_back(areaOf(t, at_.sheet));
}

void Machine::push3d(const ptg::Token& t) {
    const ExternSheet* entry =
        t.ixti < workbook_.externSheets.size() ? &workbook_.externSheets[t.ixti] : nullptr;
    const bool self = entry && entry->supportingBook < workbook_.supportingBooks.size() &&
                      workbook_.supportingBooks[entry->supportingBook].kind == SupportingBook::Kind::Self;
    if (!self) {
        unsupported(ErrorCode::Ref);  // a link to another file, or an entry the workbook lacks
        return;
    }
    const auto span = sheetsOf(workbook_, t.ixti);
    if (!span || t.columnOutOfRange || t.base == ptg::kRefErr3d || t.base == ptg::kAreaErr3d) {
        stack_.emplace_back(Value(ErrorCode::Ref));
        return;
    }
    if (span->first == span->last) {
        stack_.emplace_back(areaOf(t, span->first));
        return;
    }
    AreaList list;
    for (int sheet = span->first; sheet <= span->last; ++sheet)
        list.areas.push_back(areaOf(t, sheet));
    stack_.emplace_back(std::move(list));
}

void Machine::pushName(const ptg::DecodeResult* tokens) {
    if (!tokens || tokens->tokens.empty() || tokens->status != ptg::DecodeStatus::Ok ||
        depth_ >= kMaxNameDepth) {
        unsupported(ErrorCode::Name);
        return;
    }
    Evaluation inner = runExpression(evaluator_, at_, *tokens, depth_ + 1, wholeArray_);
    if (inner.outcome != Outcome::Done)
        outcome_ = inner.outcome == Outcome::Malformed ? Outcome::Unsupported : inner.outcome;
    volatile_ = volatile_ || inner.isVolatile;
    stack_.push_back(std::move(inner.operand));
}

void Machine::pushExternalName(const ptg::Token& t) {
    if (t.ixti >= workbook_.externSheets.size()) {
        unsupported(ErrorCode::Name);
        return;
    }
    const quint16 book = workbook_.externSheets[t.ixti].supportingBook;
    if (book >= workbook_.supportingBooks.size()) {
        unsupported(ErrorCode::Name);
        return;
    }
    const SupportingBook& supporting = workbook_.supportingBooks[book];
    if (supporting.kind == SupportingBook::Kind::External) {
        unsupported(ErrorCode::Ref);
        return;
    }
    if (supporting.kind == SupportingBook::Kind::Self && t.word >= 1 &&
        t.word <= supporting.externalNames.size()) {
        const QString& wanted = supporting.externalNames[t.word - 1];
        for (size_t i = 0; i < workbook_.names.size(); ++i) {
            if (workbook_.names[i].name.compare(wanted, Qt::CaseInsensitive) == 0) {
                pushName(evaluator_.nameTokens(int(i)));
                return;
            }
        }
    }
    unsupported(ErrorCode::Name);  // add-in functions and names the engine cannot see
}

// `called`: the function a call by name names, when the engine knows it.
bool Machine::callFunction(const ptg::Token& t, bool arrayContext, const FunctionInfo* called) {
    const FunctionInfo* info = called ? called : functionByIndex(t.word);
    if (!info && t.base == ptg::kFunc)
        return false;  // its argument count is unknown: nothing after it can be read
    const int argc = t.base == ptg::kFuncVar ? t.byte : info->minArguments;
    if (size_t(argc) > stack_.size())
        return false;
    // A call by name leaves out its first argument, the name.
    const int skipped = called ? 1 : 0;
    std::vector<Operand> args(std::make_move_iterator(stack_.end() - argc + skipped),
                              std::make_move_iterator(stack_.end()));
    stack_.resize(stack_.size() - size_t(argc));
    const int count = int(args.size());
    if (!info || count < info->minArguments || count > info->maxArguments) {
        unsupported(ErrorCode::Name);
        return true;
    }
    volatile_ = volatile_ || info->isVolatile;
    Call call{evaluator_, at_, args, arrayContext};
    stack_.push_back(formula_detail::callFunction(*info, call));
    return true;
}

Evaluation Machine::run() {
    const Evaluation malformed{Value(ErrorCode::Value), Outcome::Malformed, false};
    Plan planned;
    if (!plan(decoded_, workbook_, planned))
        return malformed;
    if (wholeArray_)
        std::fill(planned.inArray.begin(), planned.inArray.end(), 1);
    const std::vector<char>& inArray = planned.inArray;
    for (size_t i = 0; i < decoded_.tokens.size(); ++i) {
        const ptg::Token& t = decoded_.tokens[i];
        const quint8 code = t.base;
        if (isBinaryValueOperator(code) || code == ptg::kConcat ||
            (code >= ptg::kIntersect && code <= ptg::kRange)) {
            if (stack_.size() < 2)
                return malformed;
            Operand b = pop();
            Operand a = pop();
            stack_.push_back(code >= ptg::kIntersect && code <= ptg::kRange
                                 ? referenceOperator(code, a, b)
                                 : binaryOperator(evaluator_, at_, code, a, b, inArray[i] != 0));
            continue;
        }
        switch (code) {
            case ptg::kUplus:
            case ptg::kUminus:
            case ptg::kPercent:
                if (stack_.empty())
                    return malformed;
                stack_.push_back(unaryOperator(evaluator_, at_, code, pop(), inArray[i] != 0));
                break;
            case ptg::kParen:
                if (stack_.empty())
                    return malformed;
                break;
            case ptg::kMissArg:
                stack_.emplace_back(Value());
                break;
            case ptg::kStr:
                stack_.emplace_back(Value(t.text));
                break;
            case ptg::kBool:
                stack_.emplace_back(Value(t.byte != 0));
                break;
            case ptg::kErr:
                stack_.emplace_back(Value(ErrorCode(t.byte)));
                break;
            case ptg::kInt:
            case ptg::kNum:
                stack_.emplace_back(numberResult(t.number));
                break;
            case ptg::kArray:
                stack_.emplace_back(decoded_.arrays[size_t(t.array)]);
                break;
            case ptg::kRef:
            case ptg::kArea:
            case ptg::kRefN:
            case ptg::kAreaN:
                pushReference(t);
                break;
            case ptg::kRef3d:
            case ptg::kArea3d:
            case ptg::kRefErr3d:
            case ptg::kAreaErr3d:
                push3d(t);
                break;
            case ptg::kRefErr:
            case ptg::kAreaErr:
                stack_.emplace_back(Value(ErrorCode::Ref));
                break;
            case ptg::kName:
            case ptg::kNameX:
                if (planned.namesCalledFunction[i])
                    stack_.emplace_back(Value());  // only names the function of the call that follows
                else if (code == ptg::kName)
                    pushName(evaluator_.nameTokens(int(t.word) - 1));
                else
                    pushExternalName(t);
                break;
            case ptg::kMemArea:
            case ptg::kMemErr:
            case ptg::kMemNoMem:
            case ptg::kMemFunc:
                break;  // the subexpression that follows yields the reference
            case ptg::kAttr:
                if (t.byte & ptg::kAttrVolatile)
                    volatile_ = true;
                if (t.byte & ptg::kAttrSum) {
                    if (stack_.empty())
                        return malformed;
                    std::vector<Operand> args{pop()};
                    Call call{evaluator_, at_, args, inArray[i] != 0};
                    stack_.push_back(formula_detail::callFunction(*functionByIndex(ptg::kFunctionSum), call));
                }
                break;
            case ptg::kFunc:
            case ptg::kFuncVar:
                if (!callFunction(t, inArray[i] != 0, planned.called[i]))
                    return functionByIndex(t.word)
                               ? malformed
                               : Evaluation{Value(ErrorCode::Name), Outcome::Unsupported, false};
                break;
            default:  // tables, expressions of shared formulas, macro-sheet tokens
                return {Value(ErrorCode::Name), Outcome::Unsupported, false};
        }
    }
    if (stack_.size() != 1)
        return malformed;
    return {pop(), outcome_, volatile_};
}

}  // namespace

Evaluation runExpression(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& tokens,
                         int depth, bool wholeArray) {
    return Machine(evaluator, at, tokens, depth, wholeArray).run();
}

Evaluation runArrayTokens(const Evaluator& evaluator, const CellKey& anchor,
                          const ptg::DecodeResult& tokens) {
    Evaluation evaluation = runExpression(evaluator, anchor, tokens, 0, true);
    ErrorCode error = ErrorCode::Value;
    std::optional<ValueMatrix> result = toMatrix(evaluator, evaluation.operand, error);
    if (!result)
        result = filledMatrix(1, 1, Value(error));
    for (Value& v : result->values) {
        if (isBlank(v))
            v = 0.0;  // as any formula shows an empty cell
    }
    evaluation.operand = std::move(*result);
    return evaluation;
}

Value arrayElementAt(const ValueMatrix& result, int row, int column) {
    const int r = result.rows == 1 ? 0 : row;
    const int c = result.columns == 1 ? 0 : column;
    if (r >= result.rows || c >= result.columns || result.values.empty())
        return ErrorCode::NA;
    return result.at(r, c);
}

Result runTokens(const Evaluator& evaluator, const CellKey& at, const ptg::DecodeResult& tokens) {
    Evaluation evaluation = runExpression(evaluator, at, tokens);
    Value result = scalar(evaluator, at, evaluation.operand);
    // A formula that shows an empty cell shows 0.
    if (isBlank(result))
        result = 0.0;
    return {result, evaluation.outcome, evaluation.isVolatile};
}

}  // namespace spreadsheet::formula_detail
