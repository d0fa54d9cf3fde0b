#pragma once

// The arithmetic of loans and savings that the finance families share. A rate r per period over n
// periods; money paid out is negative; `type` 1 puts the payments at the start of each period.

#include "spreadsheet/formula/values.h"

namespace spreadsheet::formula_detail {

// ((1 + r)^n - 1) / r, without losing precision for small r (n when r is 0).
double annuityFactor(double r, double n);
double futureValue(double r, double n, double payment, double present, double type);
double payment(double r, double n, double present, double future, double type);
// The interest part of the payment of period `per` (1-based); #NUM! outside 1..n.
Value interestPart(double r, double per, double n, double present, double future, double type);

}  // namespace spreadsheet::formula_detail
