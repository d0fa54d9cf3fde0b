// Spread, position and relation of numbers: VAR, VARP, STDEVP and their A forms (which count texts as
// 0 and truth values as 1 or 0 in references), AVERAGEA, MAXA, MINA, MODE, PERCENTILE, QUARTILE,
// PERCENTRANK, AVEDEV, DEVSQ, GEOMEAN, HARMEAN, TRIMMEAN, CORREL, PEARSON, RSQ, COVAR, SLOPE,
// INTERCEPT, FORECAST, STEYX, the normal distribution (NORMDIST, NORMSDIST, NORMINV, NORMSINV,
// STANDARDIZE, CONFIDENCE), and their newer names (STDEV.S, VAR.P, PERCENTILE.INC, NORM.DIST, ...)
// with the newer PERCENTILE.EXC, QUARTILE.EXC, PERCENTRANK.EXC, RANK.AVG and COVARIANCE.S.

#include <algorithm>
#include <cmath>
#include <numbers>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

// The numbers the A forms see: in references and arrays a text counts 0 and a truth value 1 or 0
// (blanks are passed over); a typed argument counts as it converts.
Numbers collectAll(const Call& c, size_t from = 0) {
    Numbers out;
    for (size_t i = from; i < c.count() && !out.error; ++i) {
        forEachArgumentValue(c.evaluator, c.args[i], [&](const Value& v, bool direct) {
            if (out.error || isBlank(v))
                return;
            if (const ErrorCode* e = errorOf(v)) {
                out.error = *e;
            } else if (const double* d = std::get_if<double>(&v)) {
                out.values.push_back(*d);
            } else if (const bool* b = std::get_if<bool>(&v)) {
                out.values.push_back(*b ? 1.0 : 0.0);
            } else if (direct) {
                const Number n = toNumber(v);
                if (n.error)
                    out.error = n.error;
                else
                    out.values.push_back(n.value);
            } else {
                out.values.push_back(0.0);
            }
        });
    }
    return out;
}

double mean(const std::vector<double>& v) {
    double total = 0;
    for (double x : v)
        total += x;
    return total / double(v.size());
}

double squaredDeviations(const std::vector<double>& v) {
    const double m = mean(v);
    double total = 0;
    for (double x : v)
        total += (x - m) * (x - m);
    return total;
}

// The variance of a sample (divided by n - 1) or of a whole population (by n), as its square root
// when asked.
Value spread(const Numbers& n, bool sample, bool root) {
    if (n.error)
        return *n.error;
    const size_t least = sample ? 2 : 1;
    if (n.values.size() < least)
        return ErrorCode::Div0;
    const double variance = squaredDeviations(n.values) / double(n.values.size() - (sample ? 1 : 0));
    return numberResult(root ? std::sqrt(variance) : variance);
}

Operand varianceSample(Call& c) {
    return spread(collectNumbers(c.evaluator, c.args), true, false);
}
Operand variancePopulation(Call& c) {
    return spread(collectNumbers(c.evaluator, c.args), false, false);
}
Operand deviationSample(Call& c) {
    return spread(collectNumbers(c.evaluator, c.args), true, true);
}
Operand deviationPopulation(Call& c) {
    return spread(collectNumbers(c.evaluator, c.args), false, true);
}
Operand varianceSampleA(Call& c) {
    return spread(collectAll(c), true, false);
}
Operand variancePopulationA(Call& c) {
    return spread(collectAll(c), false, false);
}
Operand deviationSampleA(Call& c) {
    return spread(collectAll(c), true, true);
}
Operand deviationPopulationA(Call& c) {
    return spread(collectAll(c), false, true);
}

Operand averageA(Call& c) {
    const Numbers n = collectAll(c);
    if (n.error)
        return errorResult(*n.error);
    if (n.values.empty())
        return errorResult(ErrorCode::Div0);
    return numberResult(mean(n.values));
}

Operand maximumA(Call& c) {
    const Numbers n = collectAll(c);
    if (n.error)
        return errorResult(*n.error);
    return Value(n.values.empty() ? 0.0 : *std::max_element(n.values.begin(), n.values.end()));
}

Operand minimumA(Call& c) {
    const Numbers n = collectAll(c);
    if (n.error)
        return errorResult(*n.error);
    return Value(n.values.empty() ? 0.0 : *std::min_element(n.values.begin(), n.values.end()));
}

// The most frequent number; of equally frequent ones the first met; #N/A when none repeats.
Operand mode(Call& c) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    size_t best = 1;
    std::optional<double> found;
    for (size_t i = 0; i < n.values.size(); ++i) {
        const size_t times = size_t(std::count(n.values.begin(), n.values.end(), n.values[i]));
        if (times > best) {
            best = times;
            found = n.values[i];
        }
    }
    return found ? Value(*found) : Value(ErrorCode::NA);
}

// The sorted numbers of the first argument, and the second argument as a number.
struct Sample {
    std::vector<double> sorted;
    double k = 0;
    std::optional<ErrorCode> error;
};

Sample sampleAndNumber(const Call& c) {
    Sample out;
    Numbers n = collectNumbers(c.evaluator, c.args, 0, 1);
    if (n.error) {
        out.error = n.error;
        return out;
    }
    const Number k = c.number(1);
    if (k.error) {
        out.error = k.error;
        return out;
    }
    std::sort(n.values.begin(), n.values.end());
    out.sorted = std::move(n.values);
    out.k = k.value;
    return out;
}

// The value at 0-based position h of the sorted numbers, between neighbours.
double interpolated(const std::vector<double>& sorted, double h) {
    const double low = std::floor(h);
    const size_t i = size_t(low);
    if (i + 1 >= sorted.size())
        return sorted[i];
    return sorted[i] + (h - low) * (sorted[i + 1] - sorted[i]);
}

Value percentileInclusive(const std::vector<double>& sorted, double k) {
    if (sorted.empty() || k < 0 || k > 1)
        return ErrorCode::Num;
    return numberResult(interpolated(sorted, k * double(sorted.size() - 1)));
}

Value percentileExclusive(const std::vector<double>& sorted, double k) {
    const double n = double(sorted.size());
    const double rank = k * (n + 1);
    if (sorted.empty() || k <= 0 || k >= 1 || rank < 1 || rank > n)
        return ErrorCode::Num;
    return numberResult(interpolated(sorted, rank - 1));
}

Operand percentile(Call& c) {
    const Sample s = sampleAndNumber(c);
    return s.error ? Value(*s.error) : percentileInclusive(s.sorted, s.k);
}
Operand percentileExc(Call& c) {
    const Sample s = sampleAndNumber(c);
    return s.error ? Value(*s.error) : percentileExclusive(s.sorted, s.k);
}
Operand quartile(Call& c) {
    const Sample s = sampleAndNumber(c);
    if (s.error)
        return errorResult(*s.error);
    const double q = std::trunc(s.k);
    if (q < 0 || q > 4)
        return errorResult(ErrorCode::Num);
    return percentileInclusive(s.sorted, q / 4);
}
Operand quartileExc(Call& c) {
    const Sample s = sampleAndNumber(c);
    if (s.error)
        return errorResult(*s.error);
    const double q = std::trunc(s.k);
    if (q <= 0 || q >= 4)
        return errorResult(ErrorCode::Num);
    return percentileExclusive(s.sorted, q / 4);
}

// PERCENTRANK(array, x, [digits]): where x stands among the numbers, from 0 to 1 (the EXC form from
// above 0 to below 1), between neighbours when x is none of them, cut (not rounded) to the digits.
Value percentRank(const Call& c, bool exclusive) {
    const Sample s = sampleAndNumber(c);
    if (s.error)
        return *s.error;
    const Number digits = c.number(2, 3);
    if (digits.error)
        return *digits.error;
    const double significance = std::trunc(digits.value);
    const std::vector<double>& v = s.sorted;
    if (significance < 1 || v.empty())
        return ErrorCode::Num;
    const double x = s.k;
    if (x < v.front() || x > v.back())
        return ErrorCode::NA;
    const double n = double(v.size());
    auto rankOf = [&](size_t below) {
        return exclusive ? (double(below) + 1) / (n + 1) : (n == 1 ? 1.0 : double(below) / (n - 1));
    };
    const size_t below = size_t(std::lower_bound(v.begin(), v.end(), x) - v.begin());
    double rank;
    if (below < v.size() && v[below] == x) {
        rank = rankOf(below);
    } else {
        // Between v[below - 1] and v[below].
        const double lowRank = rankOf(below - 1);
        const double highRank = rankOf(below);
        rank = lowRank + (x - v[below - 1]) / (v[below] - v[below - 1]) * (highRank - lowRank);
    }
    const double scale = std::pow(10.0, significance);
    return numberResult(std::floor(cleaned(rank * scale)) / scale);
}
Operand percentRankInc(Call& c) {
    return percentRank(c, false);
}
Operand percentRankExc(Call& c) {
    return percentRank(c, true);
}

// RANK.AVG(number, reference or array, [order]): equal numbers share the average of the ranks they
// take.
Operand rankAverage(Call& c) {
    const Number x = c.number(0);
    if (x.error)
        return errorResult(*x.error);
    const Number order = c.number(2, 0);
    if (order.error)
        return errorResult(*order.error);
    const Numbers n = collectNumbers(c.evaluator, c.args, 1, 2);
    if (n.error)
        return errorResult(*n.error);
    double before = 0;
    double equal = 0;
    for (double v : n.values) {
        if (v == x.value)
            ++equal;
        else if (order.value == 0 ? v > x.value : v < x.value)
            ++before;
    }
    if (equal == 0)
        return errorResult(ErrorCode::NA);
    return Value(before + (equal + 1) / 2);
}

Operand rankEqual(Call& c) {
    return functionByName(QStringLiteral("RANK"))->impl(c);
}

template <typename F>
Operand ofSample(Call& c, F f) {
    const Numbers n = collectNumbers(c.evaluator, c.args);
    if (n.error)
        return errorResult(*n.error);
    if (n.values.empty())
        return errorResult(ErrorCode::Num);
    return f(n.values);
}

Operand averageDeviation(Call& c) {
    return ofSample(c, [](const std::vector<double>& v) {
        const double m = mean(v);
        double total = 0;
        for (double x : v)
            total += std::fabs(x - m);
        return numberResult(total / double(v.size()));
    });
}

Operand deviationSquares(Call& c) {
    return ofSample(c, [](const std::vector<double>& v) { return numberResult(squaredDeviations(v)); });
}

Operand geometricMean(Call& c) {
    return ofSample(c, [](const std::vector<double>& v) {
        double logs = 0;
        for (double x : v) {
            if (x <= 0)
                return Value(ErrorCode::Num);
            logs += std::log(x);
        }
        return numberResult(std::exp(logs / double(v.size())));
    });
}

Operand harmonicMean(Call& c) {
    return ofSample(c, [](const std::vector<double>& v) {
        double inverses = 0;
        for (double x : v) {
            if (x <= 0)
                return Value(ErrorCode::Num);
            inverses += 1 / x;
        }
        return numberResult(double(v.size()) / inverses);
    });
}

// TRIMMEAN(array, percent): the mean without the same number of smallest and largest values, that
// number being half the percent of the count, rounded down.
Operand trimmedMean(Call& c) {
    Sample s = sampleAndNumber(c);
    if (s.error)
        return errorResult(*s.error);
    if (s.sorted.empty() || s.k < 0 || s.k >= 1)
        return errorResult(ErrorCode::Num);
    const size_t cut = size_t(std::floor(cleaned(double(s.sorted.size()) * s.k / 2)));
    const std::vector<double> kept(s.sorted.begin() + qsizetype(cut), s.sorted.end() - qsizetype(cut));
    return numberResult(mean(kept));
}

// Pairs of numbers from two arrays of one size (#N/A otherwise): positions where either holds
// something else are passed over.
struct Pairs {
    std::vector<double> x;
    std::vector<double> y;
    std::optional<ErrorCode> error;
};

Pairs pairsOf(const Call& c, size_t xs, size_t ys) {
    Pairs out;
    ErrorCode error = ErrorCode::Value;
    const auto a = Grid::of(c.evaluator, c.args[xs], error);
    const auto b = a ? Grid::of(c.evaluator, c.args[ys], error) : std::nullopt;
    if (!a || !b) {
        out.error = error;
        return out;
    }
    if (a->size() != b->size()) {
        out.error = ErrorCode::NA;
        return out;
    }
    for (qsizetype i = 0; i < a->size(); ++i) {
        const Value u = a->at(i);
        const Value v = b->at(i);
        for (const Value* w : {&u, &v}) {
            if (const ErrorCode* e = errorOf(*w)) {
                out.error = *e;
                return out;
            }
        }
        const double* p = std::get_if<double>(&u);
        const double* q = std::get_if<double>(&v);
        if (p && q) {
            out.x.push_back(*p);
            out.y.push_back(*q);
        }
    }
    return out;
}

struct Moments {
    double n = 0;
    double sxx = 0;  // sums of products of deviations from the means
    double syy = 0;
    double sxy = 0;
    double meanX = 0;
    double meanY = 0;
};

Moments momentsOf(const Pairs& p) {
    Moments m;
    m.n = double(p.x.size());
    if (p.x.empty())
        return m;
    m.meanX = mean(p.x);
    m.meanY = mean(p.y);
    for (size_t i = 0; i < p.x.size(); ++i) {
        const double dx = p.x[i] - m.meanX;
        const double dy = p.y[i] - m.meanY;
        m.sxx += dx * dx;
        m.syy += dy * dy;
        m.sxy += dx * dy;
    }
    return m;
}

// Calls f with the moments of the pairs of arguments xs and ys.
template <typename F>
Operand ofPairs(Call& c, size_t xs, size_t ys, F f) {
    const Pairs p = pairsOf(c, xs, ys);
    if (p.error)
        return errorResult(*p.error);
    return f(momentsOf(p));
}

Value correlation(const Moments& m) {
    if (m.n < 2 || m.sxx == 0 || m.syy == 0)
        return ErrorCode::Div0;
    return numberResult(m.sxy / std::sqrt(m.sxx * m.syy));
}

Operand correl(Call& c) {
    return ofPairs(c, 0, 1, correlation);
}
Operand rSquared(Call& c) {
    return ofPairs(c, 0, 1, [](const Moments& m) {
        const Value r = correlation(m);
        if (errorOf(r))
            return r;
        return numberResult(std::get<double>(r) * std::get<double>(r));
    });
}
Operand covariancePopulation(Call& c) {
    return ofPairs(c, 0, 1, [](const Moments& m) {
        return m.n < 1 ? Value(ErrorCode::Div0) : numberResult(m.sxy / m.n);
    });
}
Operand covarianceSample(Call& c) {
    return ofPairs(c, 0, 1, [](const Moments& m) {
        return m.n < 2 ? Value(ErrorCode::Div0) : numberResult(m.sxy / (m.n - 1));
    });
}
// SLOPE, INTERCEPT, STEYX and FORECAST take the known y values first, then the known x values.
Operand slope(Call& c) {
    return ofPairs(c, 1, 0, [](const Moments& m) {
        return m.n < 1 || m.sxx == 0 ? Value(ErrorCode::Div0) : numberResult(m.sxy / m.sxx);
    });
}
Operand intercept(Call& c) {
    return ofPairs(c, 1, 0, [](const Moments& m) {
        return m.n < 1 || m.sxx == 0 ? Value(ErrorCode::Div0)
                                     : numberResult(m.meanY - m.sxy / m.sxx * m.meanX);
    });
}
Operand standardErrorOfY(Call& c) {
    return ofPairs(c, 1, 0, [](const Moments& m) {
        if (m.n < 3 || m.sxx == 0)
            return Value(ErrorCode::Div0);
        return numberResult(std::sqrt((m.syy - m.sxy * m.sxy / m.sxx) / (m.n - 2)));
    });
}
Operand forecast(Call& c) {
    const Number x = c.number(0);
    if (x.error)
        return errorResult(*x.error);
    return ofPairs(c, 2, 1, [&](const Moments& m) {
        if (m.n < 1 || m.sxx == 0)
            return Value(ErrorCode::Div0);
        const double b = m.sxy / m.sxx;
        return numberResult(m.meanY - b * m.meanX + b * x.value);
    });
}

double normalCumulative(double z) {
    return 0.5 * std::erfc(-z / std::numbers::sqrt2);
}

double normalDensity(double z) {
    return std::exp(-z * z / 2) / std::sqrt(2 * std::numbers::pi);
}

// The inverse of the standard normal distribution (Wichura's algorithm AS 241, good to about 1e-16).
double normalInverse(double p) {
    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) {
        const double r = 0.180625 - q * q;
        return q *
               (((((((2509.0809287301226727 * r + 33430.575583588128105) * r + 67265.770927008700853) * r +
                    45921.953931549871457) *
                       r +
                   13731.693765509461125) *
                      r +
                  1971.5909503065514427) *
                     r +
                 133.14166789178437745) *
                    r +
                3.387132872796366608) /
               (((((((5226.495278852545925 * r + 28729.085735721942674) * r + 39307.89580009271061) * r +
                    21213.794301586595867) *
                       r +
                   5394.1960214247511077) *
                      r +
                  687.1870074920579083) *
                     r +
                 42.313330701600911252) *
                    r +
                1.0);
    }
    double r = q < 0 ? p : 1 - p;
    r = std::sqrt(-std::log(r));
    double value;
    if (r <= 5) {
        r -= 1.6;
        value =
            (((((((7.7454501427834140764e-4 * r + 0.0227238449892691845833) * r + 0.24178072517745061177) *
                     r +
                 1.27045825245236838258) *
                    r +
                3.64784832476320460504) *
                   r +
               5.7694972214606914055) *
                  r +
              4.6303378461565452959) *
                 r +
             1.42343711074968357734) /
            (((((((1.05075007164441684324e-9 * r + 5.475938084995344946e-4) * r + 0.0151986665636164571966) *
                     r +
                 0.14810397642748007459) *
                    r +
                0.68976733498510000455) *
                   r +
               1.6763848301838038494) *
                  r +
              2.05319162663775882187) *
                 r +
             1.0);
    } else {
        r -= 5;
        value = (((((((2.01033439929228813265e-7 * r + 2.71155556874348757815e-5) * r +
                      0.0012426609473880784386) *
                         r +
                     0.026532189526576123093) *
                        r +
                    0.29656057182850489123) *
                       r +
                   1.7848265399172913358) *
                      r +
                  5.4637849111641143699) *
                     r +
                 6.6579046435011037772) /
                (((((((2.04426310338993978564e-15 * r + 1.4215117583164458887e-7) * r +
                      1.8463183175100546818e-5) *
                         r +
                     7.868691311456132591e-4) *
                        r +
                    0.0148753612908506148525) *
                       r +
                   0.13692988092273580531) *
                      r +
                  0.59983220655588793769) *
                     r +
                 1.0);
    }
    return q < 0 ? -value : value;
}

// NORMDIST(x, mean, deviation, cumulative) and NORM.DIST.
Operand normalDistribution(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto cumulative = toBool(c.value(3), error);
    if (!cumulative)
        return errorResult(error);
    if (a[2] <= 0)
        return errorResult(ErrorCode::Num);
    const double z = (a[0] - a[1]) / a[2];
    return numberResult(*cumulative ? normalCumulative(z) : normalDensity(z) / a[2]);
}

Operand standardNormalCumulative(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    return numberResult(normalCumulative(a[0]));
}

// NORM.S.DIST(z, cumulative).
Operand standardNormalDistribution(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto cumulative = toBool(c.value(1), error);
    if (!cumulative)
        return errorResult(error);
    return numberResult(*cumulative ? normalCumulative(a[0]) : normalDensity(a[0]));
}

Operand normalInverseOf(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[0] <= 0 || a[0] >= 1 || a[2] <= 0)
        return errorResult(ErrorCode::Num);
    return numberResult(a[1] + a[2] * normalInverse(a[0]));
}

Operand standardNormalInverse(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[0] <= 0 || a[0] >= 1)
        return errorResult(ErrorCode::Num);
    return numberResult(normalInverse(a[0]));
}

Operand standardize(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    if (a[2] <= 0)
        return errorResult(ErrorCode::Num);
    return numberResult((a[0] - a[1]) / a[2]);
}

// CONFIDENCE(alpha, deviation, size): half the width of the normal confidence interval of a mean.
Operand confidence(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double n = std::trunc(a[2]);
    if (a[0] <= 0 || a[0] >= 1 || a[1] <= 0 || n < 1)
        return errorResult(ErrorCode::Num);
    return numberResult(normalInverse(1 - a[0] / 2) * a[1] / std::sqrt(n));
}

constexpr FunctionInfo kFunctions[] = {
    {46, "VAR", 1, 30, 'V', "R", false, varianceSample},
    {194, "VARP", 1, 30, 'V', "R", false, variancePopulation},
    {193, "STDEVP", 1, 30, 'V', "R", false, deviationPopulation},
    {367, "VARA", 1, 30, 'V', "R", false, varianceSampleA},
    {365, "VARPA", 1, 30, 'V', "R", false, variancePopulationA},
    {366, "STDEVA", 1, 30, 'V', "R", false, deviationSampleA},
    {364, "STDEVPA", 1, 30, 'V', "R", false, deviationPopulationA},
    {361, "AVERAGEA", 1, 30, 'V', "R", false, averageA},
    {362, "MAXA", 1, 30, 'V', "R", false, maximumA},
    {363, "MINA", 1, 30, 'V', "R", false, minimumA},
    {330, "MODE", 1, 30, 'V', "A", false, mode},
    {328, "PERCENTILE", 2, 2, 'V', "RV", false, percentile},
    {327, "QUARTILE", 2, 2, 'V', "RV", false, quartile},
    {329, "PERCENTRANK", 2, 3, 'V', "RVV", false, percentRankInc},
    {269, "AVEDEV", 1, 30, 'V', "R", false, averageDeviation},
    {318, "DEVSQ", 1, 30, 'V', "R", false, deviationSquares},
    {319, "GEOMEAN", 1, 30, 'V', "R", false, geometricMean},
    {320, "HARMEAN", 1, 30, 'V', "R", false, harmonicMean},
    {331, "TRIMMEAN", 2, 2, 'V', "RV", false, trimmedMean},
    {307, "CORREL", 2, 2, 'V', "AA", false, correl},
    {312, "PEARSON", 2, 2, 'V', "AA", false, correl},
    {313, "RSQ", 2, 2, 'V', "AA", false, rSquared},
    {308, "COVAR", 2, 2, 'V', "AA", false, covariancePopulation},
    {315, "SLOPE", 2, 2, 'V', "AA", false, slope},
    {311, "INTERCEPT", 2, 2, 'V', "AA", false, intercept},
    {314, "STEYX", 2, 2, 'V', "AA", false, standardErrorOfY},
    {309, "FORECAST", 3, 3, 'V', "VAA", false, forecast},
    {293, "NORMDIST", 4, 4, 'V', "VVVV", false, normalDistribution},
    {294, "NORMSDIST", 1, 1, 'V', "V", false, standardNormalCumulative},
    {295, "NORMINV", 3, 3, 'V', "VVV", false, normalInverseOf},
    {296, "NORMSINV", 1, 1, 'V', "V", false, standardNormalInverse},
    {297, "STANDARDIZE", 3, 3, 'V', "VVV", false, standardize},
    {277, "CONFIDENCE", 3, 3, 'V', "VVV", false, confidence},
    {-1, "VAR.S", 1, 254, 'V', "R", false, varianceSample, Storage::Future},
    {-1, "VAR.P", 1, 254, 'V', "R", false, variancePopulation, Storage::Future},
    {-1, "STDEV.S", 1, 254, 'V', "R", false, deviationSample, Storage::Future},
    {-1, "STDEV.P", 1, 254, 'V', "R", false, deviationPopulation, Storage::Future},
    {-1, "MODE.SNGL", 1, 254, 'V', "A", false, mode, Storage::Future},
    {-1, "PERCENTILE.INC", 2, 2, 'V', "RV", false, percentile, Storage::Future},
    {-1, "PERCENTILE.EXC", 2, 2, 'V', "RV", false, percentileExc, Storage::Future},
    {-1, "QUARTILE.INC", 2, 2, 'V', "RV", false, quartile, Storage::Future},
    {-1, "QUARTILE.EXC", 2, 2, 'V', "RV", false, quartileExc, Storage::Future},
    {-1, "PERCENTRANK.INC", 2, 3, 'V', "RVV", false, percentRankInc, Storage::Future},
    {-1, "PERCENTRANK.EXC", 2, 3, 'V', "RVV", false, percentRankExc, Storage::Future},
    {-1, "RANK.EQ", 2, 3, 'V', "VRV", false, rankEqual, Storage::Future},
    {-1, "RANK.AVG", 2, 3, 'V', "VAV", false, rankAverage, Storage::Future},
    {-1, "COVARIANCE.P", 2, 2, 'V', "AA", false, covariancePopulation, Storage::Future},
    {-1, "COVARIANCE.S", 2, 2, 'V', "AA", false, covarianceSample, Storage::Future},
    {-1, "FORECAST.LINEAR", 3, 3, 'V', "VAA", false, forecast, Storage::Future},
    {-1, "NORM.DIST", 4, 4, 'V', "VVVV", false, normalDistribution, Storage::Future},
    {-1, "NORM.S.DIST", 2, 2, 'V', "VV", false, standardNormalDistribution, Storage::Future},
    {-1, "NORM.INV", 3, 3, 'V', "VVV", false, normalInverseOf, Storage::Future},
    {-1, "NORM.S.INV", 1, 1, 'V', "V", false, standardNormalInverse, Storage::Future},
    {-1, "CONFIDENCE.NORM", 3, 3, 'V', "VVV", false, confidence, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> dispersionFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
