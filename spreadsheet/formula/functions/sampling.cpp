// The sampling distributions and the tests built on them, as the file format's built-ins name them:
// BETADIST, BETAINV, CHIDIST, CHIINV, CRITBINOM, FDIST, FINV, GAMMADIST, GAMMAINV, HYPGEOMDIST,
// NEGBINOMDIST, TDIST, TINV, and CHITEST, FTEST, TTEST, PROB, ZTEST.
//
// CHIDIST, FDIST and TDIST give the upper tail (the probability of exceeding x), and CHIINV, FINV and
// TINV invert it; TINV is two-tailed. Degrees of freedom, trial counts and the like are taken whole.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"
#include "spreadsheet/formula/functions/probability.h"

namespace spreadsheet::formula_detail {

namespace {

// Degrees of freedom the legacy functions accept: whole, from 1 to 10^10.
constexpr double kMostFreedom = 1e10;
bool badFreedom(double df) {
    return df < 1 || df >= kMostFreedom;
}

template <typename F>
Operand ofNumbers(Call& c, std::initializer_list<double> fallbacks, F f) {
    const NumberArgs a = numberArgs(c, fallbacks);
    if (a.error)
        return errorResult(*a.error);
    return Operand(f(a));
}

Value solved(const std::optional<double>& x) {
    return x ? numberResult(*x) : Value(ErrorCode::Num);
}

// BETADIST(x, alpha, beta, [A], [B]): the cumulative beta distribution on [A, B] (0 to 1 by default).
Operand betaDistribution(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired, 0, 1}, [](const NumberArgs& a) -> Value {
        const double x = a[0], alpha = a[1], beta = a[2], low = a[3], high = a[4];
        if (alpha <= 0 || beta <= 0 || x < low || x > high || low == high)
            return ErrorCode::Num;
        return numberResult(betaRegularized((x - low) / (high - low), alpha, beta));
    });
}

// BETAINV(probability, alpha, beta, [A], [B]): a probability of 0 or 1, or a lower bound not below
// the upper, is #NUM! (the spreadsheet's own notes on its implementation).
Operand betaInverse(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired, 0, 1}, [](const NumberArgs& a) -> Value {
        const double p = a[0], alpha = a[1], beta = a[2], low = a[3], high = a[4];
        if (p <= 0 || p >= 1 || alpha <= 0 || beta <= 0 || low >= high)
            return ErrorCode::Num;
        // Above the median the mirrored distribution keeps the digits: I_x(a, b) = 1 - I_{1-x}(b, a).
        const bool mirrored = p > 0.5;
        const auto x = solveMonotone(
            [&](double t) {
                return mirrored ? betaRegularized(t, beta, alpha) : betaRegularized(t, alpha, beta);
            },
            mirrored ? 1 - p : p, 0, 1, true);
        if (!x)
            return ErrorCode::Num;
        return numberResult(low + (mirrored ? 1 - *x : *x) * (high - low));
    });
}

// CHIDIST(x, degrees of freedom).
Operand chiSquaredDistribution(Call& c) {
    return ofNumbers(c, {kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double x = a[0], df = std::trunc(a[1]);
        if (x < 0 || badFreedom(df))
            return ErrorCode::Num;
        return numberResult(chiSquaredUpper(x, df));
    });
}

// CHIINV(probability, degrees of freedom): the x whose upper tail is the probability.
Operand chiSquaredInverse(Call& c) {
    return ofNumbers(c, {kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double p = a[0], df = std::trunc(a[1]);
        if (p <= 0 || p > 1 || badFreedom(df))
            return ErrorCode::Num;
        return solved(solveMonotone([&](double x) { return chiSquaredUpper(x, df); }, p, 0, df + 1, false));
    });
}

// CRITBINOM(trials, probability, alpha): the smallest number of successes whose cumulative binomial
// probability reaches alpha.
Operand criticalBinomial(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double n = std::trunc(a[0]), p = a[1], alpha = a[2];
        if (n < 0 || p < 0 || p > 1 || alpha < 0 || alpha > 1)
            return ErrorCode::Num;
        if (p == 0 || alpha == 0)
            return 0.0;
        if (p == 1)
            return n;
        // Term by term while (1 - p)^n is representable: sums of exact terms meet alpha exactly.
        const double first = std::pow(1 - p, n);
        if (first > 1e-300 && n <= 1e7) {
            double term = first;
            double total = term;
            double k = 0;
            while (total < alpha && k < n) {
                term *= (n - k) / (k + 1) * p / (1 - p);
                total += term;
                ++k;
            }
            return k;
        }
        // P(X <= k) = I_{1-p}(n - k, k + 1), searched by halving.
        double low = 0, high = n;
        while (low < high) {
            const double mid = std::floor((low + high) / 2);
            if (betaRegularized(1 - p, n - mid, mid + 1) >= alpha)
                high = mid;
            else
                low = mid + 1;
        }
        return low;
    });
}

// FDIST(x, df1, df2): the upper tail of the F distribution.
Operand fisherDistribution(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double x = a[0], df1 = std::trunc(a[1]), df2 = std::trunc(a[2]);
        if (x < 0 || badFreedom(df1) || badFreedom(df2))
            return ErrorCode::Num;
        return numberResult(fisherUpper(x, df1, df2));
    });
}

// FINV(probability, df1, df2).
Operand fisherInverse(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double p = a[0], df1 = std::trunc(a[1]), df2 = std::trunc(a[2]);
        if (p <= 0 || p > 1 || badFreedom(df1) || badFreedom(df2))
            return ErrorCode::Num;
        return solved(solveMonotone([&](double x) { return fisherUpper(x, df1, df2); }, p, 0, 2, false));
    });
}

// GAMMADIST(x, alpha, beta, cumulative).
Operand gammaDistribution(Call& c) {
    ErrorCode error{};
    const auto cumulative = toBool(c.value(3), error);
    if (!cumulative)
        return errorResult(error);
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [&](const NumberArgs& a) -> Value {
        const double x = a[0], alpha = a[1], beta = a[2];
        if (x < 0 || alpha <= 0 || beta <= 0)
            return ErrorCode::Num;
        if (*cumulative)
            return numberResult(gammaLower(alpha, x / beta));
        if (x == 0)
            return alpha == 1 ? numberResult(1 / beta) : alpha > 1 ? Value(0.0) : Value(ErrorCode::Num);
        return numberResult(
            std::exp((alpha - 1) * std::log(x) - x / beta - alpha * std::log(beta) - std::lgamma(alpha)));
    });
}

// GAMMAINV(probability, alpha, beta).
Operand gammaInverse(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double p = a[0], alpha = a[1], beta = a[2];
        if (p < 0 || p >= 1 || alpha <= 0 || beta <= 0)
            return ErrorCode::Num;
        const auto x = solveMonotone([&](double t) { return gammaLower(alpha, t); }, p, 0, alpha + 1, true);
        return x ? numberResult(*x * beta) : Value(ErrorCode::Num);
    });
}

// The logarithm of the binomial coefficient n over k.
double logChoose(double n, double k) {
    return std::lgamma(n + 1) - std::lgamma(k + 1) - std::lgamma(n - k + 1);
}

// HYPGEOMDIST(sample successes, sample size, population successes, population size).
Operand hypergeometric(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double x = std::trunc(a[0]), n = std::trunc(a[1]), m = std::trunc(a[2]),
                     total = std::trunc(a[3]);
        if (x < 0 || x > n || x > m || x < n - total + m || n <= 0 || n > total || m <= 0 || m > total ||
            total <= 0)
            return ErrorCode::Num;
        return numberResult(std::exp(logChoose(m, x) + logChoose(total - m, n - x) - logChoose(total, n)));
    });
}

// NEGBINOMDIST(failures, successes, probability): the probability of that many failures before the
// given number of successes; failures + successes - 1 must be positive.
Operand negativeBinomial(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double f = std::trunc(a[0]), s = std::trunc(a[1]), p = a[2];
        if (p < 0 || p > 1 || f < 0 || s < 1 || f + s - 1 <= 0)
            return ErrorCode::Num;
        if (p == 0)
            return 0.0;
        if (p == 1)
            return f == 0 ? 1.0 : 0.0;
        return numberResult(std::exp(logChoose(f + s - 1, s - 1) + s * std::log(p) + f * std::log1p(-p)));
    });
}

// TDIST(x, degrees of freedom, tails).
Operand studentDistribution(Call& c) {
    return ofNumbers(c, {kRequired, kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double x = a[0], df = std::trunc(a[1]), tails = std::trunc(a[2]);
        if (x < 0 || df < 1 || (tails != 1 && tails != 2))
            return ErrorCode::Num;
        return numberResult(tails * studentUpper(x, df));
    });
}

// TINV(probability, degrees of freedom): the t whose two tails together hold the probability.
Operand studentInverse(Call& c) {
    return ofNumbers(c, {kRequired, kRequired}, [](const NumberArgs& a) -> Value {
        const double p = a[0], df = std::trunc(a[1]);
        if (p <= 0 || p > 1 || df < 1)
            return ErrorCode::Num;
        return solved(solveMonotone([&](double t) { return 2 * studentUpper(t, df); }, p, 0, 2, false));
    });
}

// The grid of argument i.
std::optional<Grid> gridOf(const Call& c, size_t i, ErrorCode& error) {
    return Grid::of(c.evaluator, c.args[i], error);
}

// Walks two grids of the same size position by position (#N/A when the sizes differ): an error value in
// either ends the walk with that error; f(x, y) gets each position where both hold numbers and may end
// the walk with an error of its own. Text, blanks and truth values are passed over.
template <typename F>
std::optional<ErrorCode> forEachNumberPair(const Grid& a, const Grid& b, F&& f) {
    if (a.size() != b.size())
        return ErrorCode::NA;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const Value u = a.at(i);
        const Value v = b.at(i);
        for (const Value* w : {&u, &v}) {
            if (const ErrorCode* e = errorOf(*w))
                return *e;
        }
        const double* x = std::get_if<double>(&u);
        const double* y = std::get_if<double>(&v);
        if (!x || !y)
            continue;
        if (const std::optional<ErrorCode> error = f(*x, *y))
            return error;
    }
    return std::nullopt;
}

// CHITEST(actual, expected): the chi-squared statistic of the observed against the expected counts,
// both as many, with (rows - 1)(columns - 1) degrees of freedom by the observed counts' shape (one less
// than the count for a single row or column).
Operand chiSquaredTest(Call& c) {
    ErrorCode error = ErrorCode::Value;
    const auto actual = gridOf(c, 0, error);
    const auto expected = actual ? gridOf(c, 1, error) : std::nullopt;
    if (!actual || !expected)
        return errorResult(error);
    double statistic = 0;
    const auto walked = forEachNumberPair(*actual, *expected, [&](double observed, double wanted) {
        if (wanted == 0)
            return std::optional<ErrorCode>(ErrorCode::Div0);
        statistic += (observed - wanted) * (observed - wanted) / wanted;
        return std::optional<ErrorCode>();
    });
    if (walked)
        return errorResult(*walked);
    const int rows = actual->rows(), columns = actual->columns();
    const double df = rows > 1 && columns > 1 ? double(rows - 1) * (columns - 1)
                      : rows == 1             ? columns - 1
                                              : rows - 1;
    if (df < 1)
        return errorResult(ErrorCode::NA);
    return numberResult(chiSquaredUpper(statistic, df));
}

struct Sample {
    double n = 0;
    double mean = 0;
    double variance = 0;  // of a sample: divided by n - 1
};

Sample sampleOf(const std::vector<double>& values) {
    Sample s;
    s.n = double(values.size());
    for (double v : values)
        s.mean += v;
    s.mean /= s.n;
    for (double v : values)
        s.variance += (v - s.mean) * (v - s.mean);
    s.variance /= s.n - 1;
    return s;
}

// The numbers of argument i as SUM sees those of a reference or array.
Numbers numbersOf(const Call& c, size_t i) {
    return collectNumbers(c.evaluator, c.args, i, i + 1);
}

// FTEST(array1, array2): the two-tailed probability that the two samples' variances do not differ.
Operand fisherTest(Call& c) {
    const Numbers first = numbersOf(c, 0);
    const Numbers second = numbersOf(c, 1);
    for (const Numbers* n : {&first, &second}) {
        if (n->error)
            return errorResult(*n->error);
        if (n->values.size() < 2)
            return errorResult(ErrorCode::Div0);
    }
    const Sample a = sampleOf(first.values);
    const Sample b = sampleOf(second.values);
    if (a.variance == 0 || b.variance == 0)
        return errorResult(ErrorCode::Div0);
    const double upper = fisherUpper(a.variance / b.variance, a.n - 1, b.n - 1);
    return numberResult(2 * std::min(upper, 1 - upper));
}

// TTEST(array1, array2, tails, type): type 1 pairs the samples, 2 assumes equal variances, 3 does not
// (Welch's degrees of freedom, not whole).
Operand studentTest(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired}, 2);
    if (a.error)
        return errorResult(*a.error);
    const double tails = std::trunc(a[2]), type = std::trunc(a[3]);
    if ((tails != 1 && tails != 2) || type < 1 || type > 3)
        return errorResult(ErrorCode::Num);
    double t = 0, df = 0;
    if (type == 1) {
        ErrorCode error = ErrorCode::Value;
        const auto x = gridOf(c, 0, error);
        const auto y = x ? gridOf(c, 1, error) : std::nullopt;
        if (!x || !y)
            return errorResult(error);
        std::vector<double> differences;
        const auto walked = forEachNumberPair(*x, *y, [&](double p, double q) {
            differences.push_back(p - q);
            return std::optional<ErrorCode>();
        });
        if (walked)
            return errorResult(*walked);
        if (differences.size() < 2)
            return errorResult(ErrorCode::Div0);
        const Sample d = sampleOf(differences);
        if (d.variance == 0)
            return errorResult(ErrorCode::Div0);
        t = d.mean / std::sqrt(d.variance / d.n);
        df = d.n - 1;
    } else {
        const Numbers first = numbersOf(c, 0);
        const Numbers second = numbersOf(c, 1);
        for (const Numbers* n : {&first, &second}) {
            if (n->error)
                return errorResult(*n->error);
            if (n->values.size() < 2)
                return errorResult(ErrorCode::Div0);
        }
        const Sample x = sampleOf(first.values);
        const Sample y = sampleOf(second.values);
        if (type == 2) {
            df = x.n + y.n - 2;
            const double pooled = ((x.n - 1) * x.variance + (y.n - 1) * y.variance) / df;
            const double spread = std::sqrt(pooled * (1 / x.n + 1 / y.n));
            if (spread == 0)
                return errorResult(ErrorCode::Div0);
            t = (x.mean - y.mean) / spread;
        } else {
            const double u = x.variance / x.n, v = y.variance / y.n;
            if (u + v == 0)
                return errorResult(ErrorCode::Div0);
            t = (x.mean - y.mean) / std::sqrt(u + v);
            df = (u + v) * (u + v) / (u * u / (x.n - 1) + v * v / (y.n - 1));
        }
    }
    return numberResult(tails * studentUpper(std::fabs(t), df));
}

// PROB(values, probabilities, lower, [upper]): the probability that a value lies between the limits
// (equals the lower limit when the upper is left out). Every probability lies in (0, 1] and they add
// up to 1.
Operand probabilityInRange(Call& c) {
    const Number low = c.number(2);
    if (low.error)
        return errorResult(*low.error);
    const Number high = c.number(3, low.value);
    if (high.error)
        return errorResult(*high.error);
    ErrorCode error = ErrorCode::Value;
    const auto values = gridOf(c, 0, error);
    const auto probabilities = values ? gridOf(c, 1, error) : std::nullopt;
    if (!values || !probabilities)
        return errorResult(error);
    double total = 0, inside = 0;
    const auto walked = forEachNumberPair(*values, *probabilities, [&](double x, double p) {
        if (p <= 0 || p > 1)
            return std::optional<ErrorCode>(ErrorCode::Num);
        total += p;
        if (x >= low.value && x <= high.value)
            inside += p;
        return std::optional<ErrorCode>();
    });
    if (walked)
        return errorResult(*walked);
    if (std::fabs(total - 1) > 1e-12)
        return errorResult(ErrorCode::Num);
    return numberResult(inside);
}

// ZTEST(array, x, [sigma]): the one-tailed probability of a mean above the sample's, with the
// sample's deviation when sigma is left out.
Operand zTest(Call& c) {
    const Numbers n = numbersOf(c, 0);
    if (n.error)
        return errorResult(*n.error);
    const NumberArgs a = numberArgs(c, {kRequired}, 1);
    if (a.error)
        return errorResult(*a.error);
    if (n.values.empty())
        return errorResult(ErrorCode::NA);
    double mean = 0;
    for (double v : n.values)
        mean += v;
    mean /= double(n.values.size());
    double sigma = 0;
    if (c.given(2)) {
        const Number s = c.number(2);
        if (s.error)
            return errorResult(*s.error);
        sigma = s.value;
    } else {
        if (n.values.size() < 2)
            return errorResult(ErrorCode::Div0);
        sigma = std::sqrt(sampleOf(n.values).variance);
    }
    if (sigma <= 0)
        return errorResult(sigma == 0 ? ErrorCode::Div0 : ErrorCode::Num);
    const double z = (mean - a[1]) / (sigma / std::sqrt(double(n.values.size())));
    return numberResult(0.5 * std::erfc(z / std::numbers::sqrt2));
}

constexpr FunctionInfo kFunctions[] = {
    {270, "BETADIST", 3, 5, 'V', "V", false, betaDistribution},
    {272, "BETAINV", 3, 5, 'V', "V", false, betaInverse},
    {274, "CHIDIST", 2, 2, 'V', "VV", false, chiSquaredDistribution},
    {275, "CHIINV", 2, 2, 'V', "VV", false, chiSquaredInverse},
    {278, "CRITBINOM", 3, 3, 'V', "VVV", false, criticalBinomial},
    {281, "FDIST", 3, 3, 'V', "VVV", false, fisherDistribution},
    {282, "FINV", 3, 3, 'V', "VVV", false, fisherInverse},
    {286, "GAMMADIST", 4, 4, 'V', "VVVV", false, gammaDistribution},
    {287, "GAMMAINV", 3, 3, 'V', "VVV", false, gammaInverse},
    {289, "HYPGEOMDIST", 4, 4, 'V', "VVVV", false, hypergeometric},
    {292, "NEGBINOMDIST", 3, 3, 'V', "VVV", false, negativeBinomial},
    {301, "TDIST", 3, 3, 'V', "VVV", false, studentDistribution},
    {332, "TINV", 2, 2, 'V', "VV", false, studentInverse},
    {306, "CHITEST", 2, 2, 'V', "AA", false, chiSquaredTest},
    {310, "FTEST", 2, 2, 'V', "AA", false, fisherTest},
    {316, "TTEST", 4, 4, 'V', "AAVV", false, studentTest},
    {317, "PROB", 3, 4, 'V', "AAV", false, probabilityInRange},
    {324, "ZTEST", 2, 3, 'V', "RV", false, zTest},
};

}  // namespace

std::span<const FunctionInfo> samplingFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
