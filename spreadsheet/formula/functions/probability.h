#pragma once

// The special functions behind the gamma, beta, chi-squared, t and F distributions, and a root finder
// that turns any of their monotone distribution functions into its inverse.

#include <functional>
#include <optional>

namespace spreadsheet::formula_detail {

// The regularized incomplete gamma function P(a, x) (lower) and Q(a, x) = 1 - P(a, x) (upper), each
// computed directly so that a small tail keeps its digits; a > 0, x >= 0.
double gammaLower(double a, double x);
double gammaUpper(double a, double x);

// The regularized incomplete beta function I_x(a, b); a, b > 0, 0 <= x <= 1.
double betaRegularized(double x, double a, double b);

// Upper tails: the probability of exceeding x for chi-squared with `df` degrees of freedom, t (one
// tail, x >= 0) and F with df1 and df2 degrees of freedom.
double chiSquaredUpper(double x, double df);
double studentUpper(double x, double df);
double fisherUpper(double x, double df1, double df2);

// The x in [low, high) (high may grow by doubling) where the monotone f(x) reaches target, to full
// precision; nothing when no such x lies within reach.
std::optional<double> solveMonotone(const std::function<double(double)>& f, double target, double low,
                                    double high, bool increasing);

}  // namespace spreadsheet::formula_detail
