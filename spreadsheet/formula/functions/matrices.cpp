// Functions of whole arrays: MDETERM and MINVERSE of a square matrix of numbers, and FREQUENCY, which
// counts a list of numbers into bins and gives one count more than there are bins (a column).

#include <algorithm>
#include <cmath>
#include <numeric>

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

// A square matrix of numbers, row by row; a blank or a text in it is #VALUE!, as is a matrix that is
// not square.
struct Square {
    int size = 0;
    std::vector<double> values;
    double& at(int row, int column) { return values[size_t(row) * size_t(size) + size_t(column)]; }
};

std::optional<Square> squareOf(const Call& c, ErrorCode& error) {
    error = ErrorCode::Value;
    const auto m = toMatrix(c.evaluator, c.args[0], error);
    if (!m)
        return std::nullopt;
    if (m->rows != m->columns) {
        error = ErrorCode::Value;
        return std::nullopt;
    }
    Square s;
    s.size = m->rows;
    for (const Value& v : m->values) {
        const std::optional<double> number = plainNumber(v, error);
        if (!number)
            return std::nullopt;
        s.values.push_back(*number);
    }
    return s;
}

// Brings column k's largest remaining entry (by size) to row k; false when they are all zero.
bool pivot(Square& m, int k, std::vector<double>* companion, double& sign) {
    int best = k;
    for (int r = k + 1; r < m.size; ++r) {
        if (std::fabs(m.at(r, k)) > std::fabs(m.at(best, k)))
            best = r;
    }
    if (m.at(best, k) == 0)
        return false;
    if (best != k) {
        sign = -sign;
        for (int col = 0; col < m.size; ++col) {
            std::swap(m.at(k, col), m.at(best, col));
            if (companion)
                std::swap((*companion)[size_t(k) * size_t(m.size) + size_t(col)],
                          (*companion)[size_t(best) * size_t(m.size) + size_t(col)]);
        }
    }
    return true;
}

// MDETERM(array): the determinant, by elimination with partial pivoting.
Operand determinant(Call& c) {
    ErrorCode error{};
    auto m = squareOf(c, error);
    if (!m)
        return errorResult(error);
    double sign = 1, product = 1;
    for (int k = 0; k < m->size; ++k) {
        if (!pivot(*m, k, nullptr, sign))
            return Value(0.0);
        product *= m->at(k, k);
        for (int r = k + 1; r < m->size; ++r) {
            const double factor = m->at(r, k) / m->at(k, k);
            for (int col = k; col < m->size; ++col)
                m->at(r, col) -= factor * m->at(k, col);
        }
    }
    return numberResult(sign * product);
}

// MINVERSE(array): the inverse (Gauss-Jordan with partial pivoting); #NUM! for a singular matrix.
Operand inverse(Call& c) {
    ErrorCode error{};
    auto m = squareOf(c, error);
    if (!m)
        return errorResult(error);
    const int n = m->size;
    std::vector<double> result(size_t(n) * size_t(n), 0.0);
    for (int i = 0; i < n; ++i)
        result[size_t(i) * size_t(n) + size_t(i)] = 1;
    auto out = [&](int row, int column) -> double& {
        return result[size_t(row) * size_t(n) + size_t(column)];
    };
    double sign = 1;
    for (int k = 0; k < n; ++k) {
        if (!pivot(*m, k, &result, sign))
            return errorResult(ErrorCode::Num);
        const double diagonal = m->at(k, k);
        for (int col = 0; col < n; ++col) {
            m->at(k, col) /= diagonal;
            out(k, col) /= diagonal;
        }
        for (int r = 0; r < n; ++r) {
            const double factor = m->at(r, k);
            if (r == k || factor == 0)
                continue;
            for (int col = 0; col < n; ++col) {
                m->at(r, col) -= factor * m->at(k, col);
                out(r, col) -= factor * out(k, col);
            }
        }
    }
    ValueMatrix inverted = filledMatrix(n, n, Value());
    for (size_t i = 0; i < result.size(); ++i)
        inverted.values[i] = numberResult(result[i]);
    return inverted;
}

// FREQUENCY(data, bins): how many numbers fall at or below each bin and above the next smaller bin,
// in the bins' own order, then how many lie above the largest bin. Texts and blanks are passed over.
Operand frequency(Call& c) {
    const Numbers data = collectNumbers(c.evaluator, c.args, 0, 1);
    if (data.error)
        return errorResult(*data.error);
    const Numbers bins = collectNumbers(c.evaluator, c.args, 1, 2);
    if (bins.error)
        return errorResult(*bins.error);
    std::vector<size_t> order(bins.values.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return bins.values[a] < bins.values[b]; });
    std::vector<double> counts(bins.values.size() + 1, 0.0);
    for (double v : data.values) {
        const auto found = std::lower_bound(order.begin(), order.end(), v,
                                            [&](size_t bin, double x) { return bins.values[bin] < x; });
        ++counts[found == order.end() ? bins.values.size() : *found];
    }
    ValueMatrix out = filledMatrix(int(counts.size()), 1, Value());
    for (size_t i = 0; i < counts.size(); ++i)
        out.values[i] = counts[i];
    return out;
}

constexpr FunctionInfo kFunctions[] = {
    {163, "MDETERM", 1, 1, 'V', "A", false, determinant},
    {164, "MINVERSE", 1, 1, 'A', "A", false, inverse},
    {252, "FREQUENCY", 2, 2, 'A', "RR", false, frequency},
};

}  // namespace

std::span<const FunctionInfo> matrixFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
