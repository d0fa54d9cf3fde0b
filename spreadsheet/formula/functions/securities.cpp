// Securities of the analysis add-in: the coupon dates and days of a bond (COUPPCD, COUPNCD, COUPNUM,
// COUPDAYBS, COUPDAYS, COUPDAYSNC), its price, yield and duration (PRICE, YIELD, DURATION,
// MDURATION), accrued interest (ACCRINT, ACCRINTM), discounted papers (DISC, INTRATE, RECEIVED,
// PRICEDISC, YIELDDISC, PRICEMAT, YIELDMAT) and treasury bills (TBILLEQ, TBILLPRICE, TBILLYIELD).
//
// Dates are whole serial numbers; the settlement must come before the maturity, the frequency be 1,
// 2 or 4 coupons a year and the basis one of 0 to 4, else the result is #NUM!. Coupon dates step back
// from the maturity in whole months; a maturity on a month's last day puts every coupon on the last
// day of its month.

#include <cmath>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/day_count.h"

namespace spreadsheet::formula_detail {

namespace {

bool date1904(const Call& c) {
    return c.evaluator.workbook().date1904;
}

// Reads date arguments and the numbers after them; the first error met, if any.
struct Args {
    std::vector<double> v;
    std::optional<ErrorCode> error;
    double operator[](size_t i) const { return v[i]; }
};

// `dates` date arguments from the first, then numbers (with their fallbacks, kRequired for none).
Args argsOf(const Call& c, size_t dates, std::initializer_list<double> numbers) {
    Args out;
    for (size_t i = 0; i < dates; ++i) {
        const Number n = dateArgument(c, i);
        if (n.error) {
            out.error = n.error;
            return out;
        }
        out.v.push_back(n.value);
    }
    size_t i = dates;
    for (double fallback : numbers) {
        const Number n = std::isnan(fallback) ? c.number(i) : c.number(i, fallback);
        if (n.error) {
            out.error = n.error;
            return out;
        }
        out.v.push_back(n.value);
        ++i;
    }
    return out;
}

bool validFrequency(double f) {
    return f == 1 || f == 2 || f == 4;
}

bool validBasis(double b) {
    return b >= 0 && b <= 4;
}

struct Coupons {
    double previous = 0;  // the last coupon date on or before the settlement
    double next = 0;      // the first one after it
    double count = 0;     // coupons from the settlement to the maturity
};

// The date `periods` coupon periods before the maturity.
double couponBefore(const YearMonthDay& maturity, bool endOfMonth, int monthsBack, bool date1904) {
    YearMonthDay d = addMonths(maturity, -monthsBack);
    if (endOfMonth)
        d.day = daysInMonth(d.year, d.month);
    return serialOfDate(d.year, d.month, d.day, date1904);
}

Coupons couponsOf(double settlement, double maturity, double frequency, bool date1904) {
    const auto m = dateOfSerial(maturity, date1904);
    const auto s = dateOfSerial(settlement, date1904);
    const int step = int(12 / frequency);
    const bool endOfMonth = m->day == daysInMonth(m->year, m->month);
    // A first guess from the months between the dates, then the exact count.
    int k = std::max(1, ((m->year - s->year) * 12 + (m->month - s->month)) / step);
    while (k > 1 && couponBefore(*m, endOfMonth, (k - 1) * step, date1904) <= settlement)
        --k;
    while (couponBefore(*m, endOfMonth, k * step, date1904) > settlement)
        ++k;
    Coupons out;
    out.previous = couponBefore(*m, endOfMonth, k * step, date1904);
    out.next = k == 1 ? maturity : couponBefore(*m, endOfMonth, (k - 1) * step, date1904);
    out.count = k;
    return out;
}

// Days from one date to another as a basis counts them.
double daysBetween(double from, double to, int basis, bool date1904) {
    if (basis == 0 || basis == 4)
        return days360(*dateOfSerial(from, date1904), *dateOfSerial(to, date1904), basis == 4);
    return to - from;
}

double couponDays(const Coupons& c, double frequency, int basis) {
    if (basis == 1)
        return c.next - c.previous;
    return (basis == 3 ? 365 : 360) / frequency;
}

double daysBeforeSettlement(const Coupons& c, double settlement, int basis, bool date1904) {
    return daysBetween(c.previous, settlement, basis, date1904);
}

double daysToNextCoupon(const Coupons& c, double settlement, double frequency, int basis, bool date1904) {
    if (basis == 0 || basis == 4)
        return couponDays(c, frequency, basis) - daysBeforeSettlement(c, settlement, basis, date1904);
    return c.next - settlement;
}

// The settlement, maturity, frequency and basis of a coupon function, checked.
struct Bond {
    double settlement;
    double maturity;
    double frequency;
    int basis;
    Coupons coupons;
};

std::optional<Bond> bondOf(double settlement, double maturity, double frequency, double basis, bool date1904,
                           ErrorCode& error) {
    frequency = std::trunc(frequency);
    basis = std::trunc(basis);
    if (settlement >= maturity || !validFrequency(frequency) || !validBasis(basis)) {
        error = ErrorCode::Num;
        return std::nullopt;
    }
    const Coupons coupons = couponsOf(settlement, maturity, frequency, date1904);
    // A settlement in the calendar's first months may follow a coupon date before its start: no day
    // count reaches it.
    if (!dateOfSerial(coupons.previous, date1904)) {
        error = ErrorCode::Num;
        return std::nullopt;
    }
    return Bond{settlement, maturity, frequency, int(basis), coupons};
}

// COUPPCD, COUPNCD, COUPNUM, COUPDAYBS, COUPDAYS, COUPDAYSNC(settlement, maturity, frequency, [basis]).
template <typename F>
Operand couponFunction(Call& c, F f) {
    const Args a = argsOf(c, 2, {kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto bond = bondOf(a[0], a[1], a[2], a[3], date1904(c), error);
    if (!bond)
        return errorResult(error);
    return numberResult(f(*bond, date1904(c)));
}

Operand previousCouponDate(Call& c) {
    return couponFunction(c, [](const Bond& b, bool) { return b.coupons.previous; });
}
Operand nextCouponDate(Call& c) {
    return couponFunction(c, [](const Bond& b, bool) { return b.coupons.next; });
}
Operand couponCount(Call& c) {
    return couponFunction(c, [](const Bond& b, bool) { return b.coupons.count; });
}
Operand couponDaysBefore(Call& c) {
    return couponFunction(c, [](const Bond& b, bool d1904) {
        return daysBeforeSettlement(b.coupons, b.settlement, b.basis, d1904);
    });
}
Operand couponPeriodDays(Call& c) {
    return couponFunction(c, [](const Bond& b, bool) { return couponDays(b.coupons, b.frequency, b.basis); });
}
Operand couponDaysAfter(Call& c) {
    return couponFunction(c, [](const Bond& b, bool d1904) {
        return daysToNextCoupon(b.coupons, b.settlement, b.frequency, b.basis, d1904);
    });
}

// The price per 100 of face value of a bond at a yield.
double bondPrice(const Bond& b, double rate, double yield, double redemption, bool date1904) {
    const double f = b.frequency;
    const double e = couponDays(b.coupons, f, b.basis);
    const double a = daysBeforeSettlement(b.coupons, b.settlement, b.basis, date1904);
    const double dsc = daysToNextCoupon(b.coupons, b.settlement, f, b.basis, date1904);
    const double n = b.coupons.count;
    const double coupon = 100 * rate / f;
    if (n == 1)
        return (redemption + coupon) / (1 + dsc / e * yield / f) - coupon * a / e;
    const double base = 1 + yield / f;
    double price = redemption / std::pow(base, n - 1 + dsc / e);
    for (double k = 1; k <= n; ++k)
        price += coupon / std::pow(base, k - 1 + dsc / e);
    return price - coupon * a / e;
}

// PRICE(settlement, maturity, rate, yield, redemption, frequency, [basis]).
Operand price(Call& c) {
    const Args a = argsOf(c, 2, {kRequired, kRequired, kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto bond = bondOf(a[0], a[1], a[5], a[6], date1904(c), error);
    if (!bond)
        return errorResult(error);
    if (a[2] < 0 || a[3] < 0 || a[4] <= 0)
        return errorResult(ErrorCode::Num);
    return numberResult(bondPrice(*bond, a[2], a[3], a[4], date1904(c)));
}

// YIELD(settlement, maturity, rate, price, redemption, frequency, [basis]): the yield at which the
// bond's price is the one given; directly for a last coupon period, else by Newton's method.
Operand yield(Call& c) {
    const Args a = argsOf(c, 2, {kRequired, kRequired, kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto bond = bondOf(a[0], a[1], a[5], a[6], date1904(c), error);
    if (!bond)
        return errorResult(error);
    const double rate = a[2], wanted = a[3], redemption = a[4];
    if (rate < 0 || wanted <= 0 || redemption <= 0)
        return errorResult(ErrorCode::Num);
    const double f = bond->frequency;
    if (bond->coupons.count == 1) {
        const double e = couponDays(bond->coupons, f, bond->basis);
        const double before = daysBeforeSettlement(bond->coupons, bond->settlement, bond->basis, date1904(c));
        const double dsr = e - before;
        const double paid = wanted / 100 + before / e * rate / f;
        return numberResult((redemption / 100 + rate / f - paid) / paid * f * e / dsr);
    }
    auto gap = [&](double y) { return bondPrice(*bond, rate, y, redemption, date1904(c)) - wanted; };
    double y = rate > 0 ? rate : 0.05;
    for (int i = 0; i < 100; ++i) {
        const double value = gap(y);
        const double h = 1e-7 * std::max(1.0, std::fabs(y));
        const double slope = (gap(y + h) - gap(y - h)) / (2 * h);
        if (!std::isfinite(value) || !std::isfinite(slope) || slope == 0)
            break;
        const double next = y - value / slope;
        if (!std::isfinite(next) || next <= -f)
            break;
        if (std::fabs(next - y) < 1e-13 * std::max(1.0, std::fabs(next)))
            return numberResult(next);
        y = next;
    }
    return errorResult(ErrorCode::Num);
}

// DURATION and MDURATION(settlement, maturity, coupon, yield, frequency, [basis]): the Macaulay
// duration in years, and that divided by 1 + yield / frequency.
Operand duration(Call& c, bool modified) {
    const Args a = argsOf(c, 2, {kRequired, kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto bond = bondOf(a[0], a[1], a[4], a[5], date1904(c), error);
    if (!bond)
        return errorResult(error);
    const double rate = a[2], y = a[3];
    if (rate < 0 || y < 0)
        return errorResult(ErrorCode::Num);
    const double f = bond->frequency;
    const double e = couponDays(bond->coupons, f, bond->basis);
    const double dsc = daysToNextCoupon(bond->coupons, bond->settlement, f, bond->basis, date1904(c));
    const double n = bond->coupons.count;
    const double base = 1 + y / f;
    double weighted = 0, total = 0;
    for (double k = 1; k <= n; ++k) {
        const double t = k - 1 + dsc / e;
        const double flow = 100 * rate / f + (k == n ? 100 : 0);
        const double present = flow / std::pow(base, t);
        weighted += t * present;
        total += present;
    }
    const double years = weighted / total / f;
    return numberResult(modified ? years / base : years);
}
Operand macaulayDuration(Call& c) {
    return duration(c, false);
}
Operand modifiedDuration(Call& c) {
    return duration(c, true);
}

// ACCRINT(issue, first interest, settlement, rate, par, frequency, [basis], [from issue]): the
// interest accrued over the coupon periods (counted from the first interest date) up to the
// settlement, from the issue, or (when the last argument is FALSE and the settlement comes after the
// first interest date) from the first interest date.
Operand accruedInterest(Call& c) {
    const Args a = argsOf(c, 3, {kRequired, kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    ErrorCode error{};
    const auto fromIssue = c.given(7) ? toBool(c.value(7), error) : std::optional<bool>(true);
    if (!fromIssue)
        return errorResult(error);
    const double issue = a[0], first = a[1], settlement = a[2], rate = a[3], par = a[4];
    const double f = std::trunc(a[5]), basisValue = std::trunc(a[6]);
    if (issue >= settlement || rate <= 0 || par <= 0 || !validFrequency(f) || !validBasis(basisValue))
        return errorResult(ErrorCode::Num);
    const int basis = int(basisValue);
    const double start = !*fromIssue && settlement > first ? first : issue;
    // The quasi-coupon periods: every 12 / f months from the first interest date, back and forth.
    const auto anchor = dateOfSerial(first, date1904(c));
    const bool endOfMonth = anchor->day == daysInMonth(anchor->year, anchor->month);
    const int step = int(12 / f);
    auto couponAt = [&](int k) {  // k periods after the first interest date (negative: before)
        YearMonthDay d = addMonths(*anchor, k * step);
        if (endOfMonth)
            d.day = daysInMonth(d.year, d.month);
        return serialOfDate(d.year, d.month, d.day, date1904(c));
    };
    int k = 0;
    while (couponAt(k) > start)
        --k;
    double total = 0;
    for (; couponAt(k) < settlement; ++k) {
        const double from = std::max(couponAt(k), start);
        const double to = std::min(couponAt(k + 1), settlement);
        const double normal = basis == 1 ? couponAt(k + 1) - couponAt(k) : (basis == 3 ? 365 : 360) / f;
        total += daysBetween(from, to, basis, date1904(c)) / normal;
    }
    return numberResult(par * rate / f * total);
}

// ACCRINTM(issue, settlement, rate, par, [basis]): interest paid at maturity, par x rate x A / D with
// A the days from issue to settlement as the basis counts them and D the days of its year (365 for
// actual days).
Operand accruedInterestAtMaturity(Call& c) {
    const Args a = argsOf(c, 2, {kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    const double basis = std::trunc(a[4]);
    if (a[0] >= a[1] || a[2] <= 0 || a[3] <= 0 || !validBasis(basis))
        return errorResult(ErrorCode::Num);
    const int b = int(basis);
    const double year = b == 1 || b == 3 ? 365 : 360;
    return numberResult(a[3] * a[2] * daysBetween(a[0], a[1], b, date1904(c)) / year);
}

// The discounted papers (DISC, INTRATE, RECEIVED, PRICEDISC, YIELDDISC): settlement, maturity, two
// amounts and a basis, over the year fraction between the dates.
template <typename F>
Operand discounted(Call& c, F f) {
    const Args a = argsOf(c, 2, {kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    const double basis = std::trunc(a[4]);
    if (a[0] >= a[1] || a[2] <= 0 || a[3] <= 0 || !validBasis(basis))
        return errorResult(ErrorCode::Num);
    return numberResult(f(a[2], a[3], yearFraction(a[0], a[1], int(basis), date1904(c))));
}

Operand discountRate(Call& c) {
    return discounted(c, [](double price, double redemption, double years) {
        return (redemption - price) / redemption / years;
    });
}
Operand interestRate(Call& c) {
    return discounted(c, [](double investment, double redemption, double years) {
        return (redemption - investment) / investment / years;
    });
}
Operand amountReceived(Call& c) {
    return discounted(c, [](double investment, double discount, double years) {
        const double left = 1 - discount * years;
        return left == 0 ? std::numeric_limits<double>::infinity() : investment / left;
    });
}
Operand discountedPrice(Call& c) {
    return discounted(c, [](double discount, double redemption, double years) {
        return redemption - discount * redemption * years;
    });
}
Operand discountedYield(Call& c) {
    return discounted(c, [](double price, double redemption, double years) {
        return (redemption - price) / price / years;
    });
}

// PRICEMAT and YIELDMAT(settlement, maturity, issue, rate, yield or price, [basis]): papers that pay
// their interest at maturity.
Operand maturityPaper(Call& c, bool wantYield) {
    const Args a = argsOf(c, 3, {kRequired, kRequired, 0});
    if (a.error)
        return errorResult(*a.error);
    const double settlement = a[0], maturity = a[1], issue = a[2], rate = a[3], given = a[4];
    const double basis = std::trunc(a[5]);
    if (settlement >= maturity || rate < 0 || given < 0 || (wantYield && given == 0) || !validBasis(basis))
        return errorResult(ErrorCode::Num);
    const int b = int(basis);
    const double issueToMaturity = yearFraction(issue, maturity, b, date1904(c));
    const double issueToSettlement = yearFraction(issue, settlement, b, date1904(c));
    const double settlementToMaturity = yearFraction(settlement, maturity, b, date1904(c));
    if (!wantYield) {
        return numberResult((100 + issueToMaturity * rate * 100) / (1 + settlementToMaturity * given) -
                            issueToSettlement * rate * 100);
    }
    const double paid = given / 100 + issueToSettlement * rate;
    return numberResult((1 + issueToMaturity * rate - paid) / paid / settlementToMaturity);
}
Operand maturityPrice(Call& c) {
    return maturityPaper(c, false);
}
Operand maturityYield(Call& c) {
    return maturityPaper(c, true);
}

// The treasury bills: at most a year from settlement to maturity, days counted as they are.
struct Bill {
    double days = 0;
    std::optional<ErrorCode> error;
};

Bill billOf(const Call& c, double settlement, double maturity) {
    const auto s = dateOfSerial(settlement, date1904(c));
    const YearMonthDay yearOn = addMonths(*s, 12);
    if (settlement >= maturity || maturity > serialOfDate(yearOn.year, yearOn.month, yearOn.day, date1904(c)))
        return {0, ErrorCode::Num};
    return {maturity - settlement, {}};
}

Operand billPrice(Call& c) {
    const Args a = argsOf(c, 2, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const Bill bill = billOf(c, a[0], a[1]);
    if (bill.error || a[2] <= 0)
        return errorResult(ErrorCode::Num);
    const double price = 100 * (1 - a[2] * bill.days / 360);
    return price <= 0 ? Value(ErrorCode::Num) : numberResult(price);
}

Operand billYield(Call& c) {
    const Args a = argsOf(c, 2, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const Bill bill = billOf(c, a[0], a[1]);
    if (bill.error || a[2] <= 0)
        return errorResult(ErrorCode::Num);
    return numberResult((100 - a[2]) / a[2] * 360 / bill.days);
}

// TBILLEQ: the bond-equivalent yield; beyond half a year, from the price's compounding.
Operand billEquivalent(Call& c) {
    const Args a = argsOf(c, 2, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const Bill bill = billOf(c, a[0], a[1]);
    const double discount = a[2];
    if (bill.error || discount <= 0)
        return errorResult(ErrorCode::Num);
    const double d = bill.days;
    if (d <= 182)
        return numberResult(365 * discount / (360 - discount * d));
    const double price = 100 * (1 - discount * d / 360);
    if (price <= 0)
        return errorResult(ErrorCode::Num);
    const double t = d / 365;
    const double root = t * t - (2 * t - 1) * (1 - 100 / price);
    if (root < 0)
        return errorResult(ErrorCode::Num);
    return numberResult((-t + std::sqrt(root)) / (t - 0.5));
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "COUPPCD", 3, 4, 'V', "VVVV", false, previousCouponDate, Storage::AddIn},
    {-1, "COUPNCD", 3, 4, 'V', "VVVV", false, nextCouponDate, Storage::AddIn},
    {-1, "COUPNUM", 3, 4, 'V', "VVVV", false, couponCount, Storage::AddIn},
    {-1, "COUPDAYBS", 3, 4, 'V', "VVVV", false, couponDaysBefore, Storage::AddIn},
    {-1, "COUPDAYS", 3, 4, 'V', "VVVV", false, couponPeriodDays, Storage::AddIn},
    {-1, "COUPDAYSNC", 3, 4, 'V', "VVVV", false, couponDaysAfter, Storage::AddIn},
    {-1, "PRICE", 6, 7, 'V', "VVVVVVV", false, price, Storage::AddIn},
    {-1, "YIELD", 6, 7, 'V', "VVVVVVV", false, yield, Storage::AddIn},
    {-1, "DURATION", 5, 6, 'V', "VVVVVV", false, macaulayDuration, Storage::AddIn},
    {-1, "MDURATION", 5, 6, 'V', "VVVVVV", false, modifiedDuration, Storage::AddIn},
    {-1, "ACCRINT", 6, 8, 'V', "VVVVVVVV", false, accruedInterest, Storage::AddIn},
    {-1, "ACCRINTM", 4, 5, 'V', "VVVVV", false, accruedInterestAtMaturity, Storage::AddIn},
    {-1, "DISC", 4, 5, 'V', "VVVVV", false, discountRate, Storage::AddIn},
    {-1, "INTRATE", 4, 5, 'V', "VVVVV", false, interestRate, Storage::AddIn},
    {-1, "RECEIVED", 4, 5, 'V', "VVVVV", false, amountReceived, Storage::AddIn},
    {-1, "PRICEDISC", 4, 5, 'V', "VVVVV", false, discountedPrice, Storage::AddIn},
    {-1, "YIELDDISC", 4, 5, 'V', "VVVVV", false, discountedYield, Storage::AddIn},
    {-1, "PRICEMAT", 5, 6, 'V', "VVVVVV", false, maturityPrice, Storage::AddIn},
    {-1, "YIELDMAT", 5, 6, 'V', "VVVVVV", false, maturityYield, Storage::AddIn},
    {-1, "TBILLPRICE", 3, 3, 'V', "VVV", false, billPrice, Storage::AddIn},
    {-1, "TBILLYIELD", 3, 3, 'V', "VVV", false, billYield, Storage::AddIn},
    {-1, "TBILLEQ", 3, 3, 'V', "VVV", false, billEquivalent, Storage::AddIn},
};

}  // namespace

std::span<const FunctionInfo> securityFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
