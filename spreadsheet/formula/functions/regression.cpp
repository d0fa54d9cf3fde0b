// Least-squares fits: LINEST and LOGEST give a fit's coefficients (the last variable first, the
// intercept last) and, when asked, its statistics; TREND and GROWTH give the fitted values at new
// points. LOGEST and GROWTH fit y = b * m1^x1 * m2^x2 ... through the logarithms of y.
//
// The statistics block has five rows and a column per coefficient:
//   m_k ... m_1  b        the coefficients
//   se_k ... se_1 se_b    their standard errors (se_b is #N/A without an intercept)
//   r2  se_y              the coefficient of determination, the standard error of y
//   F   df                the F statistic, the residual degrees of freedom
//   ss_reg ss_resid       the regression and residual sums of squares
// and #N/A in the cells left over. A variable that is a combination of the others adds nothing: its
// coefficient and standard error are 0 and it costs no degree of freedom. Without an intercept the
// fit goes through the origin and r2 and F measure the sums of squares from 0, not from the mean.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

// A rectangle of numbers, row by row, with its shape.
struct Table {
    int rows = 0;
    int columns = 0;
    std::vector<double> values;
    double at(int row, int column) const { return values[size_t(row) * size_t(columns) + size_t(column)]; }
};

// Argument i as numbers; a blank, a text or a truth value in it is #VALUE!.
std::optional<Table> tableOf(const Call& c, size_t i, ErrorCode& error) {
    error = ErrorCode::Value;
    const auto grid = Grid::of(c.evaluator, c.args[i], error);
    if (!grid)
        return std::nullopt;
    Table t{grid->rows(), grid->columns(), {}};
    t.values.reserve(size_t(grid->size()));
    for (qsizetype k = 0; k < grid->size(); ++k) {
        const std::optional<double> number = plainNumber(grid->at(k), error);
        if (!number)
            return std::nullopt;
        t.values.push_back(*number);
    }
    return t;
}

// The observations: y and the variables, each a list as long as y.
enum class Layout { Whole, Columns, Rows };  // one variable of y's shape; a variable a column; a row
struct Observations {
    std::vector<double> y;
    std::vector<std::vector<double>> x;
    Layout layout = Layout::Whole;
    int yRows = 0;
    int yColumns = 0;
};

// 1, 2, 3 ... in y's shape when the known x are left out.
std::optional<Observations> observationsOf(const Call& c, bool logarithmic, ErrorCode& error) {
    const auto y = tableOf(c, 0, error);
    if (!y)
        return std::nullopt;
    Observations o;
    o.yRows = y->rows;
    o.yColumns = y->columns;
    o.y = y->values;
    if (logarithmic) {
        for (double& v : o.y) {
            if (v <= 0) {
                error = ErrorCode::Num;
                return std::nullopt;
            }
            v = std::log(v);
        }
    }
    const size_t n = o.y.size();
    if (!c.given(1)) {
        std::vector<double> counting(n);
        for (size_t i = 0; i < n; ++i)
            counting[i] = double(i + 1);
        o.x.push_back(std::move(counting));
        return o;
    }
    const auto x = tableOf(c, 1, error);
    if (!x)
        return std::nullopt;
    if (x->rows == y->rows && x->columns == y->columns) {
        o.x.push_back(x->values);
    } else if (y->columns == 1 && x->rows == y->rows) {
        o.layout = Layout::Columns;
        for (int col = 0; col < x->columns; ++col) {
            std::vector<double> variable;
            for (int row = 0; row < x->rows; ++row)
                variable.push_back(x->at(row, col));
            o.x.push_back(std::move(variable));
        }
    } else if (y->rows == 1 && x->columns == y->columns) {
        o.layout = Layout::Rows;
        for (int row = 0; row < x->rows; ++row)
            o.x.emplace_back(x->values.begin() + qsizetype(row) * x->columns,
                             x->values.begin() + qsizetype(row + 1) * x->columns);
    } else {
        error = ErrorCode::Ref;
        return std::nullopt;
    }
    return o;
}

struct Fit {
    std::vector<double> slopes;  // per variable, in the variables' order
    std::vector<double> slopeErrors;
    double intercept = 0;
    double interceptError = 0;
    double r2 = 0;
    double standardError = 0;
    double f = 0;
    double freedom = 0;
    double regressionSquares = 0;
    double residualSquares = 0;
    bool constant = true;
};

double dot(const std::vector<double>& a, const std::vector<double>& b) {
    double total = 0;
    for (size_t i = 0; i < a.size(); ++i)
        total += a[i] * b[i];
    return total;
}

double mean(const std::vector<double>& v) {
    double total = 0;
    for (double x : v)
        total += x;
    return total / double(v.size());
}

// Least squares by Gram-Schmidt orthogonalization (twice over, for accuracy) of the variables, centered
// on their means when the fit has an intercept. A variable whose remainder vanishes is left out.
Fit fitOf(const Observations& o, bool constant) {
    const size_t n = o.y.size();
    const size_t k = o.x.size();
    Fit fit;
    fit.constant = constant;
    fit.slopes.assign(k, 0.0);
    fit.slopeErrors.assign(k, 0.0);
    const double meanY = constant ? mean(o.y) : 0.0;
    std::vector<double> centeredY(n);
    for (size_t i = 0; i < n; ++i)
        centeredY[i] = o.y[i] - meanY;
    std::vector<double> means(k, 0.0);
    std::vector<std::vector<double>> columns(k);  // the variables, centered
    std::vector<std::vector<double>> basis;       // orthonormal, one per kept variable
    std::vector<size_t> kept;
    std::vector<std::vector<double>> r;  // r[i][j]: basis i against kept variable j (upper triangle)
    for (size_t j = 0; j < k; ++j) {
        means[j] = constant ? mean(o.x[j]) : 0.0;
        columns[j].resize(n);
        for (size_t i = 0; i < n; ++i)
            columns[j][i] = o.x[j][i] - means[j];
        std::vector<double> v = columns[j];
        const double original = std::sqrt(dot(v, v));
        std::vector<double> coefficients(basis.size(), 0.0);
        for (int pass = 0; pass < 2; ++pass) {
            for (size_t b = 0; b < basis.size(); ++b) {
                const double along = dot(basis[b], v);
                coefficients[b] += along;
                for (size_t i = 0; i < n; ++i)
                    v[i] -= along * basis[b][i];
            }
        }
        const double norm = std::sqrt(dot(v, v));
        if (original == 0 || norm <= 1e-10 * original)
            continue;
        for (double& x : v)
            x /= norm;
        for (size_t b = 0; b < basis.size(); ++b)
            r[b].push_back(coefficients[b]);
        basis.push_back(std::move(v));
        r.emplace_back(basis.size() - 1, 0.0);
        r.back().push_back(norm);
        kept.push_back(j);
    }
    const size_t p = kept.size();
    // R beta = Q'y by back substitution.
    std::vector<double> beta(p, 0.0);
    for (size_t i = p; i-- > 0;) {
        double s = dot(basis[i], centeredY);
        for (size_t j = i + 1; j < p; ++j)
            s -= r[i][j] * beta[j];
        beta[i] = s / r[i][i];
    }
    for (size_t i = 0; i < p; ++i)
        fit.slopes[kept[i]] = beta[i];
    fit.intercept = meanY;
    for (size_t j = 0; j < k; ++j)
        fit.intercept -= fit.slopes[j] * means[j];
    for (size_t i = 0; i < n; ++i) {
        double explained = 0;
        for (size_t j = 0; j < k; ++j)
            explained += fit.slopes[j] * columns[j][i];
        // Around the mean with an intercept; around 0 without one, where meanY is 0.
        fit.regressionSquares += explained * explained;
        const double residual = centeredY[i] - explained;
        fit.residualSquares += residual * residual;
    }
    fit.freedom = double(n) - double(p) - (constant ? 1 : 0);
    const double total = fit.regressionSquares + fit.residualSquares;
    fit.r2 = total == 0 ? std::nan("") : fit.regressionSquares / total;
    fit.standardError = fit.freedom > 0 ? std::sqrt(fit.residualSquares / fit.freedom) : std::nan("");
    fit.f = fit.freedom > 0 && p > 0 && fit.residualSquares > 0
                ? (fit.regressionSquares / double(p)) / (fit.residualSquares / fit.freedom)
                : std::nan("");
    // The inverse of R: the covariance of the slopes is se_y^2 R^-1 R^-T.
    std::vector<std::vector<double>> inverse(p, std::vector<double>(p, 0.0));
    for (size_t col = 0; col < p; ++col) {
        for (size_t i = col + 1; i-- > 0;) {
            double s = i == col ? 1.0 : 0.0;
            for (size_t j = i + 1; j <= col; ++j)
                s -= r[i][j] * inverse[j][col];
            inverse[i][col] = s / r[i][i];
        }
    }
    for (size_t i = 0; i < p; ++i) {
        double squares = 0;
        for (size_t col = 0; col < p; ++col)
            squares += inverse[i][col] * inverse[i][col];
        fit.slopeErrors[kept[i]] = fit.standardError * std::sqrt(squares);
    }
    if (constant) {
        // Var(b) = se_y^2 (1/n + |R^-T means|^2): the centered variables are orthogonal to the mean.
        double squares = 0;
        for (size_t col = 0; col < p; ++col) {
            double w = 0;
            for (size_t i = 0; i < p; ++i)
                w += inverse[i][col] * means[kept[i]];
            squares += w * w;
        }
        fit.interceptError = fit.standardError * std::sqrt(1 / double(n) + squares);
    }
    return fit;
}

// The truth value of argument i, true when left out.
std::optional<bool> flagOr(const Call& c, size_t i, bool fallback, ErrorCode& error) {
    if (!c.given(i))
        return fallback;
    return toBool(c.value(i), error);
}

// LINEST(known y, [known x], [constant], [statistics]) and LOGEST.
Operand estimate(Call& c, bool logarithmic) {
    ErrorCode error{};
    const auto constant = flagOr(c, 2, true, error);
    if (!constant)
        return errorResult(error);
    const auto statistics = flagOr(c, 3, false, error);
    if (!statistics)
        return errorResult(error);
    const auto o = observationsOf(c, logarithmic, error);
    if (!o)
        return errorResult(error);
    const Fit fit = fitOf(*o, *constant);
    const int k = int(o->x.size());
    auto shown = [&](double v) { return logarithmic ? std::exp(v) : v; };
    ValueMatrix out = filledMatrix(*statistics ? 5 : 1, k + 1, Value(ErrorCode::NA));
    for (int j = 0; j < k; ++j)
        out.at(0, k - 1 - j) = numberResult(shown(fit.slopes[size_t(j)]));
    out.at(0, k) = numberResult(shown(fit.intercept));
    if (*statistics) {
        for (int j = 0; j < k; ++j)
            out.at(1, k - 1 - j) = numberResult(fit.slopeErrors[size_t(j)]);
        if (fit.constant)
            out.at(1, k) = numberResult(fit.interceptError);
        out.at(2, 0) = numberResult(fit.r2);
        out.at(2, 1) = numberResult(fit.standardError);
        out.at(3, 0) = numberResult(fit.f);
        out.at(3, 1) = numberResult(fit.freedom);
        out.at(4, 0) = numberResult(fit.regressionSquares);
        out.at(4, 1) = numberResult(fit.residualSquares);
    }
    return out;
}

Operand linearEstimate(Call& c) {
    return estimate(c, false);
}
Operand logarithmicEstimate(Call& c) {
    return estimate(c, true);
}

// TREND(known y, [known x], [new x], [constant]) and GROWTH: the fit's values at the new x (the known
// x when left out), in the new x's shape; with several variables a row of the new x (or a column,
// when they are rows) is one point.
Operand project(Call& c, bool logarithmic) {
    ErrorCode error{};
    const auto constant = flagOr(c, 3, true, error);
    if (!constant)
        return errorResult(error);
    const auto o = observationsOf(c, logarithmic, error);
    if (!o)
        return errorResult(error);
    const size_t k = o->x.size();
    Table points;
    if (c.given(2)) {
        const auto t = tableOf(c, 2, error);
        if (!t)
            return errorResult(error);
        points = *t;
    } else if (c.given(1)) {
        const auto t = tableOf(c, 1, error);
        if (!t)
            return errorResult(error);
        points = *t;
    } else {
        points = {o->yRows, o->yColumns, o->x.front()};
    }
    const Fit fit = fitOf(*o, *constant);
    auto shown = [&](double v) { return numberResult(logarithmic ? std::exp(v) : v); };
    if (o->layout == Layout::Whole) {
        ValueMatrix out = filledMatrix(points.rows, points.columns, Value());
        for (size_t i = 0; i < points.values.size(); ++i)
            out.values[i] = shown(fit.intercept + fit.slopes.front() * points.values[i]);
        return out;
    }
    const bool byRow = o->layout == Layout::Columns;
    if ((byRow ? points.columns : points.rows) != int(k))
        return errorResult(ErrorCode::Ref);
    const int count = byRow ? points.rows : points.columns;
    ValueMatrix out = filledMatrix(byRow ? count : 1, byRow ? 1 : count, Value());
    for (int i = 0; i < count; ++i) {
        double v = fit.intercept;
        for (size_t j = 0; j < k; ++j)
            v += fit.slopes[j] * (byRow ? points.at(i, int(j)) : points.at(int(j), i));
        out.values[size_t(i)] = shown(v);
    }
    return out;
}

Operand trend(Call& c) {
    return project(c, false);
}
Operand growth(Call& c) {
    return project(c, true);
}

constexpr FunctionInfo kFunctions[] = {
    {49, "LINEST", 1, 4, 'A', "RRVV", false, linearEstimate},
    {50, "TREND", 1, 4, 'A', "RRRV", false, trend},
    {51, "LOGEST", 1, 4, 'A', "RRVV", false, logarithmicEstimate},
    {52, "GROWTH", 1, 4, 'A', "RRRV", false, growth},
};

}  // namespace

std::span<const FunctionInfo> regressionFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
