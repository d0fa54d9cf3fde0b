// Loans and savings: PMT, PV, FV, NPV, RATE, NPER, IPMT, PPMT, IRR. Money paid out is negative,
// money received positive; `type` 1 puts the payments at the start of each period.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/annuity.h"

namespace spreadsheet::formula_detail {

double annuityFactor(double r, double n) {
    return r == 0 ? n : std::expm1(n * std::log1p(r)) / r;
}

double futureValue(double r, double n, double payment, double present, double type) {
    const double growth = std::pow(1 + r, n);
    return -(present * growth + payment * (1 + r * type) * annuityFactor(r, n));
}

double payment(double r, double n, double present, double future, double type) {
    if (r == 0)
        return -(present + future) / n;
    const double growth = std::pow(1 + r, n);
    return -(future + present * growth) / ((1 + r * type) * annuityFactor(r, n));
}

namespace {

Operand pmt(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, 0, 0});
    if (a.error)
        return errorResult(*a.error);
    if (a[1] == 0)
        return errorResult(ErrorCode::Num);
    return numberResult(payment(a[0], a[1], a[2], a[3], a[4] != 0));
}

Operand pv(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, 0, 0});
    if (a.error)
        return errorResult(*a.error);
    const double r = a[0], n = a[1], pay = a[2], future = a[3], type = a[4] != 0;
    if (r == -1)
        return errorResult(ErrorCode::Num);
    return numberResult(-(future + pay * (1 + r * type) * annuityFactor(r, n)) / std::pow(1 + r, n));
}

Operand fv(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, 0, 0});
    if (a.error)
        return errorResult(*a.error);
    return numberResult(futureValue(a[0], a[1], a[2], a[3], a[4] != 0));
}

Operand nper(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, 0, 0});
    if (a.error)
        return errorResult(*a.error);
    const double r = a[0], pay = a[1], present = a[2], future = a[3], type = a[4] != 0;
    if (r == 0) {
        if (pay == 0)
            return errorResult(ErrorCode::Num);
        return numberResult(-(present + future) / pay);
    }
    const double adjusted = pay * (1 + r * type);
    const double ratio = (adjusted - future * r) / (adjusted + present * r);
    if (ratio <= 0 || r <= -1)
        return errorResult(ErrorCode::Num);
    return numberResult(std::log(ratio) / std::log1p(r));
}

}  // namespace

Value interestPart(double r, double per, double n, double present, double future, double type) {
    if (per < 1 || per > n)
        return ErrorCode::Num;
    if (type != 0 && per == 1)
        return 0.0;
    const double pay = payment(r, n, present, future, type);
    double interest = futureValue(r, per - 1, pay, present, type) * r;
    if (type != 0)
        interest /= 1 + r;
    return numberResult(interest);
}

namespace {

Operand ipmt(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired, 0, 0});
    if (a.error)
        return errorResult(*a.error);
    return interestPart(a[0], a[1], a[2], a[3], a[4], a[5] != 0);
}

Operand ppmt(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, kRequired, 0, 0});
    if (a.error)
        return errorResult(*a.error);
    const Value interest = interestPart(a[0], a[1], a[2], a[3], a[4], a[5] != 0);
    if (errorOf(interest))
        return interest;
    return numberResult(payment(a[0], a[2], a[3], a[4], a[5] != 0) - std::get<double>(interest));
}

// NPV(rate, value, ...): the first value at the end of the first period.
Operand npv(Call& c) {
    const Number rate = c.number(0);
    if (rate.error)
        return errorResult(*rate.error);
    if (rate.value == -1)
        return errorResult(ErrorCode::Div0);
    const Numbers n = collectNumbers(c.evaluator, c.args, 1);
    if (n.error)
        return errorResult(*n.error);
    double total = 0;
    double discount = 1;
    for (double v : n.values) {
        discount *= 1 + rate.value;
        total += v / discount;
    }
    return numberResult(total);
}

// Newton's method from the guess, then, if that fails, bisection over a bracket that holds a sign
// change; #NUM! when neither finds a root.
template <typename F, typename D>
std::optional<double> solve(F f, D derivative, double guess) {
    double x = guess;
    for (int i = 0; i < 100; ++i) {
        const double y = f(x);
        const double slope = derivative(x);
        if (!std::isfinite(y) || !std::isfinite(slope) || slope == 0)
            break;
        const double next = x - y / slope;
        if (!std::isfinite(next) || next <= -1)
            break;
        if (std::fabs(next - x) <= 1e-13 * std::max(1.0, std::fabs(next)))
            return next;
        x = next;
    }
    double low = -0.999999, high = 1.0;
    while (high < 1e6 && f(low) * f(high) > 0)
        high *= 2;
    if (!(f(low) * f(high) <= 0))
        return std::nullopt;
    for (int i = 0; i < 300 && high - low > 1e-15 * std::max(1.0, std::fabs(high)); ++i) {
        const double mid = (low + high) / 2;
        (f(low) * f(mid) <= 0 ? high : low) = mid;
    }
    return (low + high) / 2;
}

Operand rate(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired, 0, 0, 0.1});
    if (a.error)
        return errorResult(*a.error);
    const double n = a[0], pay = a[1], present = a[2], future = a[3], type = a[4] != 0;
    if (n <= 0)
        return errorResult(ErrorCode::Num);
    auto f = [&](double r) {
        return present * std::pow(1 + r, n) + pay * (1 + r * type) * annuityFactor(r, n) + future;
    };
    auto derivative = [&](double r) {
        const double h = std::max(1e-7, std::fabs(r) * 1e-7);
        return (f(r + h) - f(r - h)) / (2 * h);
    };
    const auto root = solve(f, derivative, a[5]);
    return root ? numberResult(*root) : Value(ErrorCode::Num);
}

// IRR(values, [guess]): the rate at which the values' NPV, the first one counted now, is zero.
Operand irr(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args, 0, 1);
    if (n.error)
        return errorResult(*n.error);
    const Number guess = c.number(1, 0.1);
    if (guess.error)
        return errorResult(*guess.error);
    bool positive = false, negative = false;
    for (double v : n.values) {
        positive = positive || v > 0;
        negative = negative || v < 0;
    }
    if (!positive || !negative)
        return errorResult(ErrorCode::Num);
    auto f = [&](double r) {
        double total = 0;
        for (size_t i = 0; i < n.values.size(); ++i)
            total += n.values[i] / std::pow(1 + r, double(i));
        return total;
    };
    auto derivative = [&](double r) {
        double total = 0;
        for (size_t i = 1; i < n.values.size(); ++i)
            total -= double(i) * n.values[i] / std::pow(1 + r, double(i + 1));
        return total;
    };
    const auto root = solve(f, derivative, guess.value);
    return root ? numberResult(*root) : Value(ErrorCode::Num);
}

constexpr FunctionInfo kFunctions[] = {
    {59, "PMT", 3, 5, 'V', "VVVVV", false, pmt},     {56, "PV", 3, 5, 'V', "VVVVV", false, pv},
    {57, "FV", 3, 5, 'V', "VVVVV", false, fv},       {11, "NPV", 2, 30, 'V', "VR", false, npv},
    {60, "RATE", 3, 6, 'V', "VVVVVV", false, rate},  {58, "NPER", 3, 5, 'V', "VVVVV", false, nper},
    {167, "IPMT", 4, 6, 'V', "VVVVVV", false, ipmt}, {168, "PPMT", 4, 6, 'V', "VVVVVV", false, ppmt},
    {62, "IRR", 1, 2, 'V', "RV", false, irr},
};

}  // namespace

std::span<const FunctionInfo> financeFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
