#include "spreadsheet/formula/functions/probability.h"

#include <cmath>
#include <limits>

namespace spreadsheet::formula_detail {

namespace {

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
constexpr double kTiny = 1e-300;
constexpr int kMaxTerms = 10000;

// x^a e^-x / Gamma(a), in logarithms so that large arguments neither overflow nor underflow early.
double gammaPrefix(double a, double x) {
    return std::exp(a * std::log(x) - x - std::lgamma(a));
}

// P(a, x) as its power series, which converges quickly below x = a + 1.
double gammaSeries(double a, double x) {
    double term = 1 / a;
    double sum = term;
    for (int n = 1; n < kMaxTerms; ++n) {
        term *= x / (a + n);
        sum += term;
        if (std::fabs(term) < std::fabs(sum) * kEpsilon)
            break;
    }
    return sum * gammaPrefix(a, x);
}

// One step of the modified Lentz method for a continued fraction's term a / (b + ...): updates the two
// running ratios, kept away from zero, and gives the factor the value takes.
double lentzStep(double a, double b, double& c, double& d) {
    d = b + a * d;
    if (std::fabs(d) < kTiny)
        d = kTiny;
    c = b + a / c;
    if (std::fabs(c) < kTiny)
        c = kTiny;
    d = 1 / d;
    return d * c;
}

// Q(a, x) as its continued fraction (modified Lentz), which converges quickly above x = a + 1.
double gammaFraction(double a, double x) {
    double b = x + 1 - a;
    double c = 1 / kTiny;
    double d = 1 / b;
    double h = d;
    for (int i = 1; i < kMaxTerms; ++i) {
        const double an = -i * (i - a);
        b += 2;
        const double step = lentzStep(an, b, c, d);
        h *= step;
        if (std::fabs(step - 1) < kEpsilon)
            break;
    }
    return gammaPrefix(a, x) * h;
}

// The continued fraction of the incomplete beta function (modified Lentz), good for x below
// (a + 1) / (a + b + 2).
double betaFraction(double x, double a, double b) {
    const double qab = a + b;
    const double qap = a + 1;
    const double qam = a - 1;
    double c = 1;
    double d = 1 - qab * x / qap;
    if (std::fabs(d) < kTiny)
        d = kTiny;
    d = 1 / d;
    double h = d;
    for (int m = 1; m < kMaxTerms; ++m) {
        const double m2 = 2.0 * m;
        h *= lentzStep(m * (b - m) * x / ((qam + m2) * (a + m2)), 1, c, d);
        const double step = lentzStep(-(a + m) * (qab + m) * x / ((a + m2) * (qap + m2)), 1, c, d);
        h *= step;
        if (std::fabs(step - 1) < kEpsilon)
            break;
    }
    return h;
}

}  // namespace

double gammaLower(double a, double x) {
    if (x <= 0)
        return 0;
    return x < a + 1 ? gammaSeries(a, x) : 1 - gammaFraction(a, x);
}

double gammaUpper(double a, double x) {
    if (x <= 0)
        return 1;
    return x < a + 1 ? 1 - gammaSeries(a, x) : gammaFraction(a, x);
}

double betaRegularized(double x, double a, double b) {
    if (x <= 0)
        return 0;
    if (x >= 1)
        return 1;
    const double front =
        std::exp(std::lgamma(a + b) - std::lgamma(a) - std::lgamma(b) + a * std::log(x) + b * std::log1p(-x));
    if (x < (a + 1) / (a + b + 2))
        return front * betaFraction(x, a, b) / a;
    return 1 - front * betaFraction(1 - x, b, a) / b;
}

double chiSquaredUpper(double x, double df) {
    return gammaUpper(df / 2, x / 2);
}

double studentUpper(double x, double df) {
    // The two tails beyond |x| are I_{df/(df+x^2)}(df/2, 1/2); one of them is half of it.
    return 0.5 * betaRegularized(df / (df + x * x), df / 2, 0.5);
}

double fisherUpper(double x, double df1, double df2) {
    if (x <= 0)
        return 1;
    return betaRegularized(df2 / (df2 + df1 * x), df2 / 2, df1 / 2);
}

std::optional<double> solveMonotone(const std::function<double(double)>& f, double target, double low,
                                    double high, bool increasing) {
    // g rises through 0 at the solution.
    auto g = [&](double x) { return increasing ? f(x) - target : target - f(x); };
    if (g(low) >= 0)
        return low;
    int doublings = 0;
    while (g(high) < 0) {
        if (++doublings > 1100 || !std::isfinite(high))
            return std::nullopt;
        high = low + 2 * (high - low);
    }
    for (int i = 0; i < 2200; ++i) {
        const double mid = low + (high - low) / 2;
        if (mid <= low || mid >= high)
            break;
        (g(mid) < 0 ? low : high) = mid;
    }
    return std::fabs(g(low)) < std::fabs(g(high)) ? low : high;
}

}  // namespace spreadsheet::formula_detail
