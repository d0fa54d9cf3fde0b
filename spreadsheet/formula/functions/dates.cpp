// Dates: DATE, YEAR, MONTH, DAY, WEEKDAY, TODAY, NOW, on the workbook's date system (1900 with its
// 29 February 1900, or 1904). TODAY and NOW are volatile: a spreadsheet recalculates them whenever
// it opens the file.

#include <QDateTime>
#include <cmath>

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

namespace {

constexpr double kLastSerial = 2958465;  // 31 December 9999 in the 1900 system

bool date1904(const Call& c) {
    return c.evaluator.workbook().date1904;
}

Operand date(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    double year = std::trunc(a[0]);
    if (year < 0 || year >= 10000)
        return errorResult(ErrorCode::Num);
    if (year < 1900)
        year += 1900;  // two-digit and short years count from 1900
    const double month = std::trunc(a[1]);
    const double day = std::trunc(a[2]);
    if (std::fabs(month) > 1e6 || std::fabs(day) > 1e8)
        return errorResult(ErrorCode::Num);
    const double serial = serialOfDate(int(year), int(month), int(day), date1904(c));
    if (serial < 0 || serial > kLastSerial - (date1904(c) ? 1462 : 0))
        return errorResult(ErrorCode::Num);
    return Value(serial);
}

template <typename F>
Operand part(Call& c, F f) {
    const NumberArgs a = numberArgs(c, {kRequired});
    if (a.error)
        return errorResult(*a.error);
    const auto ymd = dateOfSerial(a[0], date1904(c));
    if (!ymd)
        return errorResult(ErrorCode::Num);
    return Value(double(f(*ymd)));
}

Operand year(Call& c) {
    return part(c, [](const YearMonthDay& d) { return d.year; });
}
Operand month(Call& c) {
    return part(c, [](const YearMonthDay& d) { return d.month; });
}
Operand day(Call& c) {
    return part(c, [](const YearMonthDay& d) { return d.day; });
}

// WEEKDAY(serial, [type]): type 1 counts Sunday 1 to Saturday 7, type 2 Monday 1 to Sunday 7, type 3
// Monday 0 to Sunday 6. In the 1900 system serial 1 is a Sunday, as the 29 February 1900 has it.
Operand weekday(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, 1});
    if (a.error)
        return errorResult(*a.error);
    if (a[0] < 0 || a[0] > kLastSerial)
        return errorResult(ErrorCode::Num);
    const long long whole = (long long)std::floor(a[0]);
    const int sundayZero = int((whole + (date1904(c) ? 5 : 6)) % 7);
    switch (wholeArgument(a[1])) {
        case 1:
            return Value(double(sundayZero + 1));
        case 2:
            return Value(double((sundayZero + 6) % 7 + 1));
        case 3:
            return Value(double((sundayZero + 6) % 7));
        default:
            return errorResult(ErrorCode::Num);
    }
}

double todaySerial(const Call& c) {
    const QDate today = QDate::currentDate();
    return serialOfDate(today.year(), today.month(), today.day(), date1904(c));
}

Operand today(Call& c) {
    return Value(todaySerial(c));
}

Operand now(Call& c) {
    return Value(todaySerial(c) + QTime::currentTime().msecsSinceStartOfDay() / 86400000.0);
}

constexpr FunctionInfo kFunctions[] = {
    {65, "DATE", 3, 3, 'V', "VVV", false, date},
    {69, "YEAR", 1, 1, 'V', "V", false, year},
    {68, "MONTH", 1, 1, 'V', "V", false, month},
    {67, "DAY", 1, 1, 'V', "V", false, day},
    {70, "WEEKDAY", 1, 2, 'V', "VV", false, weekday},
    {221, "TODAY", 0, 0, 'V', "", true, today},
    {74, "NOW", 0, 0, 'V', "", true, now},
};

}  // namespace

std::span<const FunctionInfo> dateFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
