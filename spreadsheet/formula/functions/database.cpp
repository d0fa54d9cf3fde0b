// The database functions: DSUM, DAVERAGE, DCOUNT, DCOUNTA, DMAX, DMIN, DPRODUCT, DGET, DSTDEV,
// DSTDEVP, DVAR and DVARP (database, field, criteria). The database and the criteria start with a row
// of field names; the field is one of those names or a 1-based column number. A record is taken when
// it meets every condition of at least one criteria row (an empty row takes every record). A
// condition is read as SUMIF's criteria are, except that a plain text matches the texts that begin
// with it, as it does in database criteria.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

// The column of a field name or number in the database's first row, or -1.
int fieldColumn(const Grid& database, const Value& field) {
    if (const QString* name = std::get_if<QString>(&field)) {
        for (int column = 0; column < database.columns(); ++column) {
            const Value header = database.at(0, column);
            const QString* text = std::get_if<QString>(&header);
            if (text && text->trimmed().compare(name->trimmed(), Qt::CaseInsensitive) == 0)
                return column;
        }
        return -1;
    }
    const Number n = toNumber(field);
    if (n.error)
        return -1;
    const double column = std::trunc(n.value);
    return column >= 1 && column <= database.columns() ? int(column) - 1 : -1;
}

Criterion databaseCriterion(const Value& v, bool date1904) {
    if (const QString* text = std::get_if<QString>(&v)) {
        const bool hasOperator = text->startsWith(u'<') || text->startsWith(u'>') || text->startsWith(u'=');
        if (!hasOperator && !text->isEmpty()) {
            bool number = false;
            text->toDouble(&number);
            if (!number)
                return Criterion(Value(*text + u'*'), date1904);
        }
    }
    return Criterion(v, date1904);
}

struct Condition {
    int column;
    Criterion test;
};

// The values of the field in the records that meet the criteria; nothing (with the error) when the
// field or a criteria name is not one of the database's.
std::optional<std::vector<Value>> selected(const Call& c, bool fieldOptional, ErrorCode& error) {
    const auto database = Grid::of(c.evaluator, c.args[0], error);
    const auto criteria = database ? Grid::of(c.evaluator, c.args[2], error) : std::nullopt;
    if (!database || !criteria)
        return std::nullopt;
    error = ErrorCode::Value;
    if (database->rows() < 1 || criteria->rows() < 2 || database->size() > kMaxMatrixCells)
        return std::nullopt;
    int field = -1;
    if (c.given(1)) {
        field = fieldColumn(*database, c.value(1));
        if (field < 0)
            return std::nullopt;
    } else if (!fieldOptional) {
        return std::nullopt;
    }
    std::vector<std::vector<Condition>> rows;
    for (int row = 1; row < criteria->rows(); ++row) {
        std::vector<Condition> conditions;
        for (int column = 0; column < criteria->columns(); ++column) {
            const Value v = criteria->at(row, column);
            if (isBlank(v))
                continue;
            const Value header = criteria->at(0, column);
            const int target = std::holds_alternative<QString>(header) ? fieldColumn(*database, header) : -1;
            if (target < 0)
                return std::nullopt;
            conditions.push_back({target, databaseCriterion(v, c.evaluator.workbook().date1904)});
        }
        rows.push_back(std::move(conditions));
    }
    std::vector<Value> out;
    for (int record = 1; record < database->rows(); ++record) {
        bool taken = false;
        for (const auto& conditions : rows) {
            bool all = true;
            for (const Condition& condition : conditions)
                all = all && condition.test.matches(database->at(record, condition.column));
            if (all) {
                taken = true;
                break;
            }
        }
        if (taken)
            out.push_back(field >= 0 ? database->at(record, field) : Value(0.0));
    }
    return out;
}

// Applies the function of the same meaning to the selected values, taken as an array.
Operand applied(Call& c, const char* name, bool fieldOptional = false) {
    ErrorCode error = ErrorCode::Value;
    auto values = selected(c, fieldOptional, error);
    if (!values)
        return errorResult(error);
    ValueMatrix m;
    m.rows = 1;
    m.columns = int(values->size());
    m.values = std::move(*values);
    if (m.columns == 0) {
        m.columns = 1;
        m.values.emplace_back();
    }
    std::vector<Operand> args{Operand(std::move(m))};
    Call inner{c.evaluator, c.at, args, false};
    return functionByName(QString::fromLatin1(name))->impl(inner);
}

Operand databaseSum(Call& c) {
    return applied(c, "SUM");
}
Operand databaseAverage(Call& c) {
    return applied(c, "AVERAGE");
}
Operand databaseCount(Call& c) {
    return applied(c, "COUNT", true);
}
Operand databaseCountA(Call& c) {
    return applied(c, "COUNTA", true);
}
Operand databaseMax(Call& c) {
    return applied(c, "MAX");
}
Operand databaseMin(Call& c) {
    return applied(c, "MIN");
}
Operand databaseProduct(Call& c) {
    return applied(c, "PRODUCT");
}
Operand databaseStdev(Call& c) {
    return applied(c, "STDEV");
}
Operand databaseStdevP(Call& c) {
    return applied(c, "STDEVP");
}
Operand databaseVar(Call& c) {
    return applied(c, "VAR");
}
Operand databaseVarP(Call& c) {
    return applied(c, "VARP");
}

// DGET: the field of the one record that meets the criteria; #VALUE! for none, #NUM! for several.
Operand databaseGet(Call& c) {
    ErrorCode error = ErrorCode::Value;
    const auto values = selected(c, false, error);
    if (!values)
        return errorResult(error);
    if (values->empty())
        return errorResult(ErrorCode::Value);
    if (values->size() > 1)
        return errorResult(ErrorCode::Num);
    return values->front();
}

constexpr FunctionInfo kFunctions[] = {
    {41, "DSUM", 3, 3, 'V', "RRR", false, databaseSum},
    {42, "DAVERAGE", 3, 3, 'V', "RRR", false, databaseAverage},
    {40, "DCOUNT", 3, 3, 'V', "RRR", false, databaseCount},
    {199, "DCOUNTA", 3, 3, 'V', "RRR", false, databaseCountA},
    {44, "DMAX", 3, 3, 'V', "RRR", false, databaseMax},
    {43, "DMIN", 3, 3, 'V', "RRR", false, databaseMin},
    {189, "DPRODUCT", 3, 3, 'V', "RRR", false, databaseProduct},
    {235, "DGET", 3, 3, 'V', "RRR", false, databaseGet},
    {45, "DSTDEV", 3, 3, 'V', "RRR", false, databaseStdev},
    {195, "DSTDEVP", 3, 3, 'V', "RRR", false, databaseStdevP},
    {47, "DVAR", 3, 3, 'V', "RRR", false, databaseVar},
    {196, "DVARP", 3, 3, 'V', "RRR", false, databaseVarP},
};

}  // namespace

std::span<const FunctionInfo> databaseFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
