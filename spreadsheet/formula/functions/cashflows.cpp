// Cash flows and depreciation: the analysis add-in's CUMIPMT, CUMPRINC, XNPV, XIRR, EFFECT, NOMINAL,
// FVSCHEDULE, DOLLARDE and DOLLARFR; the built-ins MIRR, ISPMT, SLN, SYD, DB, DDB and VDB; and the newer
// PDURATION and RRI. Money paid out is negative, money received positive.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/annuity.h"
#include "spreadsheet/formula/functions/day_count.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

// CUMIPMT and CUMPRINC(rate, periods, present value, first, last, type): the interest or principal
// paid from the first to the last period, both counted. The rate, the periods and the present value
// must be positive, the type 0 or 1, and 1 <= first <= last <= periods.
Operand cumulative(Call& c, bool interest) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double rate = a[0], n = a[1], present = a[2];
    const double first = std::trunc(a[3]), last = std::trunc(a[4]), type = a[5];
    if (rate <= 0 || n <= 0 || present <= 0 || first < 1 || last < first || last > n ||
        (type != 0 && type != 1))
        return errorResult(ErrorCode::Num);
    const double pay = payment(rate, n, present, 0, type);
    double total = 0;
    for (double per = first; per <= last; ++per) {
        const Value part = interestPart(rate, per, n, present, 0, type);
        if (const ErrorCode* e = errorOf(part))
            return errorResult(*e);
        total += interest ? std::get<double>(part) : pay - std::get<double>(part);
    }
    return numberResult(total);
}
Operand cumulativeInterest(Call& c) {
    return cumulative(c, true);
}
Operand cumulativePrincipal(Call& c) {
    return cumulative(c, false);
}

// The payments and dates of XNPV and XIRR: two arrays of numbers of one length (#NUM! otherwise),
// no date before the first one.
struct DatedFlows {
    std::vector<double> values;
    std::vector<double> years;  // from the first date, in years of 365 days
    std::optional<ErrorCode> error;
};

DatedFlows datedFlows(const Call& c, size_t valuesArg, size_t datesArg) {
    DatedFlows out;
    ErrorCode error = ErrorCode::Value;
    const auto values = Grid::of(c.evaluator, c.args[valuesArg], error);
    const auto dates = values ? Grid::of(c.evaluator, c.args[datesArg], error) : std::nullopt;
    if (!values || !dates) {
        out.error = error;
        return out;
    }
    if (values->size() != dates->size() || values->size() == 0) {
        out.error = ErrorCode::Num;
        return out;
    }
    const bool date1904 = c.evaluator.workbook().date1904;
    double firstDate = 0;
    for (qsizetype i = 0; i < values->size(); ++i) {
        const Value v = values->at(i);
        const Value d = dates->at(i);
        for (const Value* w : {&v, &d}) {
            if (const ErrorCode* e = errorOf(*w)) {
                out.error = *e;
                return out;
            }
        }
        const double* amount = std::get_if<double>(&v);
        const double* date = std::get_if<double>(&d);
        if (!amount || !date) {
            out.error = ErrorCode::Value;
            return out;
        }
        const double day = std::floor(*date);
        if (day < 0 || day > lastSerial(date1904)) {
            out.error = ErrorCode::Num;
            return out;
        }
        if (i == 0)
            firstDate = day;
        else if (day < firstDate) {
            out.error = ErrorCode::Num;
            return out;
        }
        out.values.push_back(*amount);
        out.years.push_back((day - firstDate) / 365);
    }
    return out;
}

double presentValueOf(const DatedFlows& f, double rate) {
    double total = 0;
    for (size_t i = 0; i < f.values.size(); ++i)
        total += f.values[i] / std::pow(1 + rate, f.years[i]);
    return total;
}

double slopeOf(const DatedFlows& f, double rate) {
    double total = 0;
    for (size_t i = 0; i < f.values.size(); ++i)
        total -= f.years[i] * f.values[i] / std::pow(1 + rate, f.years[i] + 1);
    return total;
}

Operand xnpv(Call& c) {
    const Number rate = c.number(0);
    if (rate.error)
        return errorResult(*rate.error);
    const DatedFlows f = datedFlows(c, 1, 2);
    if (f.error)
        return errorResult(*f.error);
    if (rate.value <= -1)
        return errorResult(ErrorCode::Num);
    return numberResult(presentValueOf(f, rate.value));
}

// XIRR(values, dates, [guess]): the rate at which XNPV is 0. Newton's method from the guess, then a
// search for a sign change above -1; #NUM! without one payment and one receipt, or without a root.
Operand xirr(Call& c) {
    const DatedFlows f = datedFlows(c, 0, 1);
    if (f.error)
        return errorResult(*f.error);
    const Number guess = c.number(2, 0.1);
    if (guess.error)
        return errorResult(*guess.error);
    bool positive = false, negative = false;
    for (double v : f.values) {
        positive = positive || v > 0;
        negative = negative || v < 0;
    }
    if (!positive || !negative || guess.value <= -1)
        return errorResult(ErrorCode::Num);
    double r = guess.value;
    for (int i = 0; i < 100; ++i) {
        const double y = presentValueOf(f, r);
        const double slope = slopeOf(f, r);
        if (!std::isfinite(y) || !std::isfinite(slope) || slope == 0)
            break;
        const double next = r - y / slope;
        if (!std::isfinite(next) || next <= -1)
            break;
        if (std::fabs(next - r) <= 1e-12 * std::max(1.0, std::fabs(next)))
            return numberResult(next);
        r = next;
    }
    double low = -0.999999999, high = 1.0;
    while (high < 1e10 && presentValueOf(f, low) * presentValueOf(f, high) > 0)
        high *= 2;
    if (!(presentValueOf(f, low) * presentValueOf(f, high) <= 0))
        return errorResult(ErrorCode::Num);
    for (int i = 0; i < 400 && high - low > 1e-15 * std::max(1.0, std::fabs(high)); ++i) {
        const double mid = (low + high) / 2;
        (presentValueOf(f, low) * presentValueOf(f, mid) <= 0 ? high : low) = mid;
    }
    return numberResult((low + high) / 2);
}

// EFFECT(nominal, periods per year) and NOMINAL(effective, periods per year).
Operand effect(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double n = std::trunc(a[1]);
    if (a[0] <= 0 || n < 1)
        return errorResult(ErrorCode::Num);
    return numberResult(std::pow(1 + a[0] / n, n) - 1);
}
Operand nominal(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double n = std::trunc(a[1]);
    if (a[0] <= 0 || n < 1)
        return errorResult(ErrorCode::Num);
    return numberResult(n * (std::pow(1 + a[0], 1 / n) - 1));
}

// FVSCHEDULE(principal, rates): the principal grown by each rate in turn; blanks are rates of 0.
Operand futureValueSchedule(Call& c) {
    const Number principal = c.number(0);
    if (principal.error)
        return errorResult(*principal.error);
    ErrorCode error = ErrorCode::Value;
    const auto rates = Grid::of(c.evaluator, c.args[1], error);
    if (!rates)
        return errorResult(error);
    double value = principal.value;
    for (qsizetype i = 0; i < rates->size(); ++i) {
        const Value v = rates->at(i);
        if (isBlank(v))
            continue;
        const Number rate =
            std::holds_alternative<double>(v) || errorOf(v) ? toNumber(v) : Number{0, ErrorCode::Value};
        if (rate.error)
            return errorResult(*rate.error);
        value *= 1 + rate.value;
    }
    return numberResult(value);
}

// DOLLARDE and DOLLARFR: prices in fractions ("1.02" is 1 and 2/16 in sixteenths) to decimals and back.
Operand fractionPrice(Call& c, bool toDecimal) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double fraction = std::trunc(a[1]);
    if (fraction < 0)
        return errorResult(ErrorCode::Num);
    if (fraction == 0)
        return errorResult(ErrorCode::Div0);
    const double x = std::fabs(a[0]);
    const double whole = std::floor(x);
    const double part = x - whole;
    const double scale = std::pow(10.0, std::ceil(std::log10(fraction)));
    const double result = toDecimal ? whole + part * scale / fraction : whole + part * fraction / scale;
    return numberResult(cleaned(std::copysign(result, a[0])));
}
Operand dollarDecimal(Call& c) {
    return fractionPrice(c, true);
}
Operand dollarFraction(Call& c) {
    return fractionPrice(c, false);
}

// MIRR(values, finance rate, reinvestment rate): payments discounted at the finance rate, receipts
// grown at the reinvestment rate to the last period.
Operand modifiedIrr(Call& c) {
    const Numbers flows = collectNumbers(c.evaluator, c.args, 0, 1);
    if (flows.error)
        return errorResult(*flows.error);
    const NumberArgs a = numberArgs(c, {kRequired, kRequired}, 1);
    if (a.error)
        return errorResult(*a.error);
    const double financeRate = a[1], reinvestRate = a[2];
    const double n = double(flows.values.size());
    double paid = 0, received = 0;
    for (size_t i = 0; i < flows.values.size(); ++i) {
        const double v = flows.values[i];
        if (v < 0)
            paid += v / std::pow(1 + financeRate, double(i));
        else
            received += v * std::pow(1 + reinvestRate, n - 1 - double(i));
    }
    if (paid == 0 || received == 0 || n < 2)
        return errorResult(ErrorCode::Div0);
    return numberResult(std::pow(-received / paid, 1 / (n - 1)) - 1);
}

// ISPMT(rate, period, periods, present value): the interest of a period of a loan repaid in equal
// parts of principal.
Operand interestOfEvenPrincipal(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[2] == 0)
        return errorResult(ErrorCode::Div0);
    return numberResult(a[3] * a[0] * (a[1] / a[2] - 1));
}

Operand straightLine(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[2] == 0)
        return errorResult(ErrorCode::Div0);
    return numberResult((a[0] - a[1]) / a[2]);
}

// SYD(cost, salvage, life, period): sum-of-years' digits.
Operand sumOfYearsDigits(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double life = a[2], period = a[3];
    if (life <= 0 || period <= 0 || period > life)
        return errorResult(ErrorCode::Num);
    return numberResult((a[0] - a[1]) * (life - period + 1) * 2 / (life * (life + 1)));
}

// DB(cost, salvage, life, period, [months of the first year]): fixed-declining balance at a rate
// rounded to three decimals; the first and (when the first year is short) the extra last period
// are prorated by months.
Operand decliningBalance(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired, 12});
    if (a.error)
        return errorResult(*a.error);
    const double cost = a[0], salvage = a[1], life = std::trunc(a[2]), period = std::trunc(a[3]);
    const double months = std::trunc(a[4]);
    if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || months < 1 || months > 12 ||
        period > life + (months < 12 ? 1 : 0))
        return errorResult(ErrorCode::Num);
    if (cost == 0)
        return Value(0.0);
    const double rate = std::round((1 - std::pow(salvage / cost, 1 / life)) * 1000) / 1000;
    double total = cost * rate * months / 12;
    if (period == 1)
        return numberResult(total);
    for (double p = 2; p <= period; ++p) {
        const double depreciation =
            p == life + 1 ? (cost - total) * rate * (12 - months) / 12 : (cost - total) * rate;
        if (p == period)
            return numberResult(depreciation);
        total += depreciation;
    }
    return Value(0.0);
}

// DDB(cost, salvage, life, period, [factor]): declining balance at factor / life, never below the
// salvage value.
Operand doubleDecliningBalance(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired, 2});
    if (a.error)
        return errorResult(*a.error);
    const double cost = a[0], salvage = a[1], life = a[2], period = a[3], factor = a[4];
    if (cost < 0 || salvage < 0 || life <= 0 || period <= 0 || factor <= 0 || period > life)
        return errorResult(ErrorCode::Num);
    const double rate = std::min(factor / life, 1.0);
    const double before = cost * (1 - std::pow(1 - rate, period - 1));
    const double byRate = (cost - before) * rate;
    return numberResult(std::max(0.0, std::min(byRate, cost - salvage - before)));
}

// VDB(cost, salvage, life, start, end, [factor], [no switch]): the declining-balance depreciation from
// the start to the end period, switching to straight-line over the remaining life once that gives
// more (unless told not to); a part of a period takes that part of its depreciation.
Operand variableDecliningBalance(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired, kRequired, 2});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto noSwitch = c.given(6) ? toBool(c.value(6), error) : std::optional<bool>(false);
    if (!noSwitch)
        return errorResult(error);
    const double cost = a[0], salvage = a[1], life = a[2], start = a[3], end = a[4], factor = a[5];
    if (cost < 0 || salvage < 0 || life <= 0 || start < 0 || end < start || end > life || factor <= 0 ||
        life > 1e6)
        return errorResult(ErrorCode::Num);
    double book = cost;
    double total = 0;
    bool straight = false;
    const double last = std::ceil(end);
    for (double period = 1; period <= last; ++period) {
        const double declining = std::min(book * factor / life, std::max(0.0, book - salvage));
        const double remaining = life - (period - 1);
        const double line = remaining > 0 ? std::max(0.0, (book - salvage) / remaining) : 0;
        straight = straight || (!*noSwitch && line > declining);
        const double depreciation = straight ? line : declining;
        const double part = std::min(end, period) - std::max(start, period - 1);
        if (part > 0)
            total += depreciation * part;
        book -= depreciation;
    }
    return numberResult(total);
}

// PDURATION(rate, present, future): the periods an investment needs to grow to the future value.
Operand periodsToGrow(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[0] <= 0 || a[1] <= 0 || a[2] <= 0)
        return errorResult(ErrorCode::Num);
    return numberResult((std::log(a[2]) - std::log(a[1])) / std::log1p(a[0]));
}

// RRI(periods, present, future): the rate that grows the present value to the future one.
Operand rateToGrow(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[0] <= 0 || a[1] == 0)
        return errorResult(ErrorCode::Num);
    return numberResult(std::pow(a[2] / a[1], 1 / a[0]) - 1);
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "CUMIPMT", 6, 6, 'V', "VVVVVV", false, cumulativeInterest, Storage::AddIn},
    {-1, "CUMPRINC", 6, 6, 'V', "VVVVVV", false, cumulativePrincipal, Storage::AddIn},
    {-1, "XNPV", 3, 3, 'V', "VRR", false, xnpv, Storage::AddIn},
    {-1, "XIRR", 2, 3, 'V', "RRV", false, xirr, Storage::AddIn},
    {-1, "EFFECT", 2, 2, 'V', "VV", false, effect, Storage::AddIn},
    {-1, "NOMINAL", 2, 2, 'V', "VV", false, nominal, Storage::AddIn},
    {-1, "FVSCHEDULE", 2, 2, 'V', "VR", false, futureValueSchedule, Storage::AddIn},
    {-1, "DOLLARDE", 2, 2, 'V', "VV", false, dollarDecimal, Storage::AddIn},
    {-1, "DOLLARFR", 2, 2, 'V', "VV", false, dollarFraction, Storage::AddIn},
    {61, "MIRR", 3, 3, 'V', "RVV", false, modifiedIrr},
    {350, "ISPMT", 4, 4, 'V', "VVVV", false, interestOfEvenPrincipal},
    {142, "SLN", 3, 3, 'V', "VVV", false, straightLine},
    {143, "SYD", 4, 4, 'V', "VVVV", false, sumOfYearsDigits},
    {247, "DB", 4, 5, 'V', "VVVVV", false, decliningBalance},
    {144, "DDB", 4, 5, 'V', "VVVVV", false, doubleDecliningBalance},
    {222, "VDB", 5, 7, 'V', "VVVVVVV", false, variableDecliningBalance},
    {-1, "PDURATION", 3, 3, 'V', "VVV", false, periodsToGrow, Storage::Future},
    {-1, "RRI", 3, 3, 'V', "VVV", false, rateToGrow, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> cashFlowFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
