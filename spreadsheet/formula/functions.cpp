#include "spreadsheet/formula/functions.h"

#include <QHash>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace spreadsheet::formula_detail {

bool Call::given(size_t i) const {
    if (i >= args.size())
        return false;
    const Value* v = std::get_if<Value>(&args[i]);
    return !v || !isBlank(*v);
}

Value Call::value(size_t i) const {
    return i < args.size() ? scalar(evaluator, at, args[i]) : Value();
}

Number Call::number(size_t i) const {
    return toNumber(value(i));
}

Number Call::number(size_t i, double fallback) const {
    return given(i) ? number(i) : Number{fallback, {}};
}

double cleaned(double v) {
    if (!std::isfinite(v) || v == 0)
        return v;
    return QString::number(v, 'g', 15).toDouble();
}

int wholeArgument(double value) {
    constexpr double kLimit = 1e9;
    if (std::isnan(value))
        return -int(kLimit);
    return int(std::clamp(std::trunc(value), -kLimit, kLimit));
}

NumberArgs numberArgs(const Call& call, std::initializer_list<double> fallbacks, size_t first) {
    NumberArgs out;
    size_t i = first;
    for (double fallback : fallbacks) {
        const Number n = std::isnan(fallback) ? call.number(i) : call.number(i, fallback);
        if (n.error) {
            out.error = n.error;
            return out;
        }
        out.values[i++] = n.value;
    }
    return out;
}

char FunctionInfo::argumentClass(size_t i) const {
    const size_t n = std::strlen(arguments);
    if (n == 0)
        return 'V';
    return arguments[std::min(i, n - 1)];
}

namespace {

struct Registry {
    QHash<int, const FunctionInfo*> byIndex;
    QHash<QString, const FunctionInfo*> byName;

    Registry() {
        for (auto family :
             {mathsFunctions(),       statisticsFunctions(), logicFunctions(),      lookupFunctions(),
              textFunctions(),        dateFunctions(),       financeFunctions(),    conditionalFunctions(),
              informationFunctions(), arithmeticFunctions(), dispersionFunctions(), distributionFunctions(),
              calendarFunctions(),    cashFlowFunctions(),   securityFunctions(),   stringFunctions(),
              referenceFunctions(),   databaseFunctions(),   samplingFunctions(),   matrixFunctions(),
              regressionFunctions()}) {
            for (const FunctionInfo& info : family) {
                if (info.storage == Storage::BuiltIn)
                    byIndex.insert(info.index, &info);
                byName.insert(QString::fromLatin1(info.name), &info);
            }
        }
    }
};

const Registry& registry() {
    static const Registry instance;
    return instance;
}

bool takesValuesOnly(const FunctionInfo& info) {
    for (const char* c = info.arguments; *c; ++c) {
        if (*c != 'V')
            return false;
    }
    return info.arguments[0] != '\0';
}

// A value-only function met with arrays: applied to each element, single rows or columns stretching.
std::optional<Operand> lifted(const FunctionInfo& info, Call& call) {
    int rows = 0, columns = 0;
    std::vector<std::optional<ValueMatrix>> matrices(call.args.size());
    for (size_t i = 0; i < call.args.size(); ++i) {
        const Operand& arg = call.args[i];
        const bool isArea = std::holds_alternative<Area>(arg) || std::holds_alternative<AreaList>(arg);
        if (!std::holds_alternative<ValueMatrix>(arg) && !(call.arrayContext && isArea))
            continue;
        ErrorCode error = ErrorCode::Value;
        matrices[i] = toMatrix(call.evaluator, arg, error);
        if (!matrices[i])
            return Operand(Value(error));
        rows = std::max(rows, matrices[i]->rows);
        columns = std::max(columns, matrices[i]->columns);
    }
    if (rows == 0)
        return std::nullopt;
    ValueMatrix out = filledMatrix(rows, columns, Value(ErrorCode::NA));
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            std::vector<Operand> args;
            args.reserve(call.args.size());
            bool inside = true;
            for (size_t i = 0; i < call.args.size(); ++i) {
                if (!matrices[i]) {
                    args.push_back(call.value(i));
                    continue;
                }
                const ValueMatrix& m = *matrices[i];
                const int r = m.rows == 1 ? 0 : row;
                const int c = m.columns == 1 ? 0 : column;
                if (r >= m.rows || c >= m.columns) {
                    inside = false;
                    break;
                }
                args.push_back(m.at(r, c));
            }
            if (!inside)
                continue;
            Call element{call.evaluator, call.at, args, false};
            out.at(row, column) = scalar(call.evaluator, call.at, info.impl(element));
        }
    }
    return Operand(std::move(out));
}

}  // namespace

const FunctionInfo* functionByIndex(int index) {
    return registry().byIndex.value(index, nullptr);
}

const FunctionInfo* functionByName(const QString& upperCaseName) {
    return registry().byName.value(upperCaseName, nullptr);
}

namespace {

QString withoutFuturePrefix(const QString& name) {
    const QLatin1String prefix(kFuturePrefix);
    return name.startsWith(prefix, Qt::CaseInsensitive) ? name.mid(prefix.size()) : name;
}

}  // namespace

const FunctionInfo* functionNamedBy(const Workbook& workbook, const ptg::Token& nameToken) {
    QString stored;
    if (nameToken.base == ptg::kName) {
        const int index = int(nameToken.word) - 1;
        if (index < 0 || size_t(index) >= workbook.names.size() || workbook.names[size_t(index)].builtIn)
            return nullptr;
        stored = workbook.names[size_t(index)].name;
        // A defined name calls a function only as a newer function's stand-in.
        if (!stored.startsWith(QLatin1String(kFuturePrefix), Qt::CaseInsensitive))
            return nullptr;
    } else if (nameToken.base == ptg::kNameX) {
        if (nameToken.ixti >= workbook.externSheets.size())
            return nullptr;
        const quint16 book = workbook.externSheets[nameToken.ixti].supportingBook;
        if (book >= workbook.supportingBooks.size())
            return nullptr;
        const SupportingBook& supporting = workbook.supportingBooks[book];
        if (supporting.kind == SupportingBook::Kind::AddIn) {
            if (nameToken.word < 1 || nameToken.word > supporting.externalNames.size())
                return nullptr;
            stored = supporting.externalNames[nameToken.word - 1];
        } else if (supporting.kind == SupportingBook::Kind::Self) {
            // The workbook's own names, reached through its own book.
            const int index = int(nameToken.word) - 1;
            if (index < 0 || size_t(index) >= workbook.names.size())
                return nullptr;
            stored = workbook.names[size_t(index)].name;
            if (!stored.startsWith(QLatin1String(kFuturePrefix), Qt::CaseInsensitive))
                return nullptr;
        } else {
            return nullptr;
        }
    } else {
        return nullptr;
    }
    // Programs disagree on where a function goes (some write newer functions as add-in names, some
    // add-in functions and even built-ins with the prefix): the name decides, not the place.
    return functionByName(withoutFuturePrefix(stored).toUpper());
}

QString calledNameText(const QString& storedName) {
    const FunctionInfo* info = functionByName(withoutFuturePrefix(storedName).toUpper());
    return info ? QString::fromLatin1(info->name) : storedName;
}

Operand callFunction(const FunctionInfo& info, Call& call) {
    if (takesValuesOnly(info)) {
        if (auto result = lifted(info, call))
            return std::move(*result);
    }
    return info.impl(call);
}

}  // namespace spreadsheet::formula_detail
