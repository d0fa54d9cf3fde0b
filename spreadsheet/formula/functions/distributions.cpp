// Shape and distributions: SKEW, KURT, FISHER, FISHERINV, GAMMALN, and the exponential, Poisson,
// Weibull, binomial and lognormal distributions (EXPONDIST, POISSON, WEIBULL, BINOMDIST, LOGNORMDIST,
// LOGINV), with their newer names (EXPON.DIST, POISSON.DIST, ..., LOGNORM.DIST with its density).
// A distribution's `cumulative` argument gives the probability of at most x; otherwise the density
// (or the probability of exactly x).

#include <cmath>
#include <numbers>

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

// The sample's mean and standard deviation, with its numbers.
struct Moments {
    std::vector<double> values;
    double mean = 0;
    double deviation = 0;
};

std::optional<Moments> momentsOf(const Call& c, size_t least, ErrorCode& error) {
    Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error) {
        error = *n.error;
        return std::nullopt;
    }
    Moments m;
    m.values = std::move(n.values);
    const double count = double(m.values.size());
    if (m.values.size() < least) {
        error = ErrorCode::Div0;
        return std::nullopt;
    }
    for (double v : m.values)
        m.mean += v;
    m.mean /= count;
    double squares = 0;
    for (double v : m.values)
        squares += (v - m.mean) * (v - m.mean);
    m.deviation = std::sqrt(squares / (count - 1));
    if (m.deviation == 0) {
        error = ErrorCode::Div0;
        return std::nullopt;
    }
    return m;
}

// SKEW: n / ((n - 1)(n - 2)) x the sum of the cubed standardized values; at least three numbers.
Operand skew(Call& c) {
    ErrorCode error{};
    const auto m = momentsOf(c, 3, error);
    if (!m)
        return errorResult(error);
    const double n = double(m->values.size());
    double sum = 0;
    for (double v : m->values)
        sum += std::pow((v - m->mean) / m->deviation, 3);
    return numberResult(n / ((n - 1) * (n - 2)) * sum);
}

// KURT: the excess kurtosis of a sample of at least four numbers.
Operand kurtosis(Call& c) {
    ErrorCode error{};
    const auto m = momentsOf(c, 4, error);
    if (!m)
        return errorResult(error);
    const double n = double(m->values.size());
    double sum = 0;
    for (double v : m->values)
        sum += std::pow((v - m->mean) / m->deviation, 4);
    return numberResult(n * (n + 1) / ((n - 1) * (n - 2) * (n - 3)) * sum -
                        3 * (n - 1) * (n - 1) / ((n - 2) * (n - 3)));
}

template <typename F>
Operand ofNumbers(Call& c, std::initializer_list<double> fallbacks, F f) {
    const NumberArgs a = numberArgs(c, fallbacks);
    if (a.error)
        return errorResult(*a.error);
    return f(a);
}

// The truth value of argument i (cumulative or not).
std::optional<bool> flag(const Call& c, size_t i, ErrorCode& error) {
    return toBool(c.value(i), error);
}

Operand fisher(Call& c) {
    return ofNumbers(c, {kRequired}, [](const NumberArgs& a) {
        const double x = a[0];
        return x <= -1 || x >= 1 ? Value(ErrorCode::Num) : numberResult(0.5 * std::log((1 + x) / (1 - x)));
    });
}

Operand fisherInverse(Call& c) {
    return ofNumbers(c, {kRequired}, [](const NumberArgs& a) { return numberResult(std::tanh(a[0])); });
}

Operand gammaLog(Call& c) {
    return ofNumbers(c, {kRequired}, [](const NumberArgs& a) {
        return a[0] <= 0 ? Value(ErrorCode::Num) : numberResult(std::lgamma(a[0]));
    });
}

// EXPONDIST(x, lambda, cumulative).
Operand exponential(Call& c) {
    ErrorCode error{};
    const auto cumulative = flag(c, 2, error);
    if (!cumulative)
        return errorResult(error);
    return ofNumbers(c, {kRequired, kRequired}, [&](const NumberArgs& a) {
        const double x = a[0], lambda = a[1];
        if (x < 0 || lambda <= 0)
            return Value(ErrorCode::Num);
        return numberResult(*cumulative ? -std::expm1(-lambda * x) : lambda * std::exp(-lambda * x));
    });
}

// POISSON(x, mean, cumulative): x taken whole.
Operand poisson(Call& c) {
    ErrorCode error{};
    const auto cumulative = flag(c, 2, error);
    if (!cumulative)
        return errorResult(error);
    return ofNumbers(c, {kRequired, kRequired}, [&](const NumberArgs& a) {
        const double x = std::trunc(a[0]), mean = a[1];
        if (x < 0 || mean < 0)
            return Value(ErrorCode::Num);
        auto term = [&](double k) {
            return mean == 0 ? (k == 0 ? 1.0 : 0.0)
                             : std::exp(k * std::log(mean) - mean - std::lgamma(k + 1));
        };
        if (!*cumulative)
            return numberResult(term(x));
        double total = 0;
        for (double k = 0; k <= x; ++k)
            total += term(k);
        return numberResult(std::min(total, 1.0));
    });
}

// WEIBULL(x, alpha, beta, cumulative).
Operand weibull(Call& c) {
    ErrorCode error{};
    const auto cumulative = flag(c, 3, error);
    if (!cumulative)
        return errorResult(error);
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [&](const NumberArgs& a) {
        const double x = a[0], alpha = a[1], beta = a[2];
        if (x < 0 || alpha <= 0 || beta <= 0)
            return Value(ErrorCode::Num);
        const double scaled = std::pow(x / beta, alpha);
        if (*cumulative)
            return numberResult(-std::expm1(-scaled));
        return numberResult(alpha / std::pow(beta, alpha) * std::pow(x, alpha - 1) * std::exp(-scaled));
    });
}

// BINOMDIST(successes, trials, probability, cumulative): successes and trials taken whole.
Operand binomial(Call& c) {
    ErrorCode error{};
    const auto cumulative = flag(c, 3, error);
    if (!cumulative)
        return errorResult(error);
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [&](const NumberArgs& a) {
        const double k = std::trunc(a[0]), n = std::trunc(a[1]), p = a[2];
        if (k < 0 || n < 0 || k > n || p < 0 || p > 1)
            return Value(ErrorCode::Num);
        auto term = [&](double i) {
            if (p == 0)
                return i == 0 ? 1.0 : 0.0;
            if (p == 1)
                return i == n ? 1.0 : 0.0;
            return std::exp(std::lgamma(n + 1) - std::lgamma(i + 1) - std::lgamma(n - i + 1) +
                            i * std::log(p) + (n - i) * std::log1p(-p));
        };
        if (!*cumulative)
            return numberResult(term(k));
        double total = 0;
        for (double i = 0; i <= k; ++i)
            total += term(i);
        return numberResult(std::min(total, 1.0));
    });
}

double standardNormal(double z) {
    return 0.5 * std::erfc(-z / std::numbers::sqrt2);
}

// LOGNORMDIST(x, mean, deviation): the cumulative lognormal distribution; LOGNORM.DIST adds the
// choice of the density.
Operand logNormal(Call& c) {
    std::optional<bool> cumulative = true;
    ErrorCode error{};
    if (c.count() > 3)
        cumulative = flag(c, 3, error);
    if (!cumulative)
        return errorResult(error);
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [&](const NumberArgs& a) {
        const double x = a[0], mean = a[1], sd = a[2];
        if (x <= 0 || sd <= 0)
            return Value(ErrorCode::Num);
        const double z = (std::log(x) - mean) / sd;
        if (*cumulative)
            return numberResult(standardNormal(z));
        return numberResult(std::exp(-z * z / 2) / (x * sd * std::sqrt(2 * std::numbers::pi)));
    });
}

// LOGINV(probability, mean, deviation): exp of the normal inverse.
Operand logNormalInverse(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [&](const NumberArgs& a) -> Value {
        if (a[0] <= 0 || a[0] >= 1 || a[2] <= 0)
            return ErrorCode::Num;
        // NORMINV gives mean + deviation x the standard normal inverse.
        std::vector<Operand> args{Value(a[0]), Value(a[1]), Value(a[2])};
        Call inner{c.evaluator, c.at, args, false};
        const Value normal =
            scalar(c.evaluator, c.at, functionByName(QStringLiteral("NORMINV"))->impl(inner));
        if (errorOf(normal))
            return normal;
        return numberResult(std::exp(std::get<double>(normal)));
    });
}

constexpr FunctionInfo kFunctions[] = {
    {323, "SKEW", 1, 30, 'V', "R", false, skew},
    {322, "KURT", 1, 30, 'V', "R", false, kurtosis},
    {283, "FISHER", 1, 1, 'V', "V", false, fisher},
    {284, "FISHERINV", 1, 1, 'V', "V", false, fisherInverse},
    {271, "GAMMALN", 1, 1, 'V', "V", false, gammaLog},
    {280, "EXPONDIST", 3, 3, 'V', "VVV", false, exponential},
    {300, "POISSON", 3, 3, 'V', "VVV", false, poisson},
    {302, "WEIBULL", 4, 4, 'V', "VVVV", false, weibull},
    {273, "BINOMDIST", 4, 4, 'V', "VVVV", false, binomial},
    {290, "LOGNORMDIST", 3, 3, 'V', "VVV", false, logNormal},
    {291, "LOGINV", 3, 3, 'V', "VVV", false, logNormalInverse},
    {-1, "GAMMALN.PRECISE", 1, 1, 'V', "V", false, gammaLog, Storage::Future},
    {-1, "EXPON.DIST", 3, 3, 'V', "VVV", false, exponential, Storage::Future},
    {-1, "POISSON.DIST", 3, 3, 'V', "VVV", false, poisson, Storage::Future},
    {-1, "WEIBULL.DIST", 4, 4, 'V', "VVVV", false, weibull, Storage::Future},
    {-1, "BINOM.DIST", 4, 4, 'V', "VVVV", false, binomial, Storage::Future},
    {-1, "LOGNORM.DIST", 4, 4, 'V', "VVVV", false, logNormal, Storage::Future},
    {-1, "LOGNORM.INV", 3, 3, 'V', "VVV", false, logNormalInverse, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> distributionFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
