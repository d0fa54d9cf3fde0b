#pragma once

#include <QString>
#include <functional>

namespace generation {

// A source of random fractions in [0, 1).
using FractionSource = std::function<double()>;

// The default source: the system's random generator.
FractionSource systemFractionSource();

// A digit from 1 to 9 (never 0) out of a fraction in [0, 1): the whole part of fraction x 9, plus 1.
int digitFromFraction(double fraction);

// "vornik" followed by eight digits from 1 to 9, each drawn from the source.
QString drawWorkbookName(const FractionSource& source);

}  // namespace generation
