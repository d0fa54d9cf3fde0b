// Calendar arithmetic: the analysis add-in's EDATE, EOMONTH, NETWORKDAYS, WORKDAY, YEARFRAC and
// WEEKNUM; the built-ins DAYS360, DATEDIF, DATEVALUE, TIME, TIMEVALUE, HOUR, MINUTE and SECOND; and
// the newer DAYS, ISOWEEKNUM, NETWORKDAYS.INTL and WORKDAY.INTL.
//
// Dates are serial numbers of the workbook's date system; their whole part counts, and a text that
// reads as a date counts as that date. Days of the week follow the serial numbers (serial 1, the
// 1 January 1900, is a Sunday), as WEEKDAY does.

#include <QDate>
#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

#include "spreadsheet/formula/functions.h"
#include "spreadsheet/formula/functions/day_count.h"
#include "spreadsheet/formula/functions/grid.h"

namespace spreadsheet::formula_detail {

namespace {

bool date1904(const Call& c) {
    return c.evaluator.workbook().date1904;
}

// Sunday 0 to Saturday 6.
int dayOfWeek(double serial, bool date1904) {
    return int((qint64(serial) + (date1904 ? 5 : 6)) % 7);
}

Value serialResult(double serial, bool date1904) {
    if (serial < 0 || serial > lastSerial(date1904))
        return ErrorCode::Num;
    return serial;
}

// EDATE and EOMONTH: the date `months` months on, or the last day of that month.
Operand monthsOn(Call& c, bool endOfMonth) {
    const Number start = dateArgument(c, 0);
    if (start.error)
        return errorResult(*start.error);
    const Number months = c.number(1);
    if (months.error)
        return errorResult(*months.error);
    if (std::fabs(months.value) > 120000)
        return errorResult(ErrorCode::Num);
    const auto date = dateOfSerial(start.value, date1904(c));
    if (!date)
        return errorResult(ErrorCode::Num);
    YearMonthDay moved =
        addMonths({date->year, date->month, std::max(date->day, 1)}, int(std::trunc(months.value)));
    if (endOfMonth)
        moved.day = daysInMonth(moved.year, moved.month);
    else if (date->day == 0)
        moved.day = 0;  // serial 0, the 0th of January 1900, stays a 0th
    if (moved.year < (date1904(c) ? 1904 : 1900) || moved.year > 9999)
        return errorResult(ErrorCode::Num);
    return serialResult(serialOfDate(moved.year, moved.month, moved.day, date1904(c)), date1904(c));
}
Operand edate(Call& c) {
    return monthsOn(c, false);
}
Operand eomonth(Call& c) {
    return monthsOn(c, true);
}

// Which days of the week (Sunday 0 .. Saturday 6) are the weekend.
using Weekend = std::array<bool, 7>;

// NETWORKDAYS.INTL's weekend: 1 to 7 for two days (1 Saturday and Sunday, 2 Sunday and Monday, ...),
// 11 to 17 for one (11 Sunday, 12 Monday, ...), or seven 0s and 1s from Monday to Sunday.
std::optional<Weekend> weekendOf(const Call& c, size_t i, ErrorCode& error) {
    Weekend weekend{};
    if (!c.given(i)) {
        weekend[0] = weekend[6] = true;
        return weekend;
    }
    const Value v = c.value(i);
    if (const QString* pattern = std::get_if<QString>(&v)) {
        if (pattern->size() != 7 || !std::all_of(pattern->begin(), pattern->end(),
                                                 [](QChar ch) { return ch == u'0' || ch == u'1'; })) {
            error = ErrorCode::Value;
            return std::nullopt;
        }
        for (int k = 0; k < 7; ++k)
            weekend[size_t((k + 1) % 7)] = (*pattern)[k] == u'1';
        return weekend;
    }
    const Number n = toNumber(v);
    if (n.error) {
        error = *n.error;
        return std::nullopt;
    }
    const int code = wholeArgument(n.value);
    if (code >= 1 && code <= 7) {
        // 1: Saturday and Sunday, 2: Sunday and Monday, ...
        weekend[size_t((code + 5) % 7)] = true;
        weekend[size_t((code + 6) % 7)] = true;
    } else if (code >= 11 && code <= 17) {
        weekend[size_t(code - 11)] = true;
    } else {
        error = ErrorCode::Num;
        return std::nullopt;
    }
    return weekend;
}

// The holidays: whole serial numbers from a reference or an array; blanks are passed over.
std::optional<std::set<double>> holidaysOf(const Call& c, size_t i, ErrorCode& error) {
    std::set<double> out;
    if (!c.given(i))
        return out;
    const auto grid = Grid::of(c.evaluator, c.args[i], error);
    if (!grid)
        return std::nullopt;
    if (grid->size() > kMaxMatrixCells) {
        error = ErrorCode::Num;
        return std::nullopt;
    }
    for (qsizetype k = 0; k < grid->size(); ++k) {
        const Value v = grid->at(k);
        if (isBlank(v))
            continue;
        if (const ErrorCode* e = errorOf(v)) {
            error = *e;
            return std::nullopt;
        }
        const Number n = toNumber(v);
        if (n.error || n.value < 0) {
            error = n.error.value_or(ErrorCode::Num);
            return std::nullopt;
        }
        out.insert(std::floor(n.value));
    }
    return out;
}

// The working days from one date to another, both counted; negative when the end comes first.
double workingDaysBetween(double from, double to, const Weekend& weekend, const std::set<double>& holidays,
                          bool date1904) {
    const double sign = to < from ? -1 : 1;
    if (to < from)
        std::swap(from, to);
    int perWeek = 0;
    for (bool off : weekend)
        perWeek += off ? 0 : 1;
    const double days = to - from + 1;
    const double weeks = std::floor(days / 7);
    double count = weeks * perWeek;
    for (double d = from + weeks * 7; d <= to; ++d)
        count += weekend[size_t(dayOfWeek(d, date1904))] ? 0 : 1;
    for (auto it = holidays.lower_bound(from); it != holidays.end() && *it <= to; ++it)
        count -= weekend[size_t(dayOfWeek(*it, date1904))] ? 0 : 1;
    return sign * count;
}

// The weekend argument, when the function has one; else Saturday and Sunday.
Operand networkDaysWith(Call& c, std::optional<size_t> weekendArg, size_t holidaysArg) {
    const Number start = dateArgument(c, 0);
    if (start.error)
        return errorResult(*start.error);
    const Number end = dateArgument(c, 1);
    if (end.error)
        return errorResult(*end.error);
    ErrorCode error = ErrorCode::Value;
    const auto weekend = weekendOf(c, weekendArg.value_or(c.count()), error);
    if (!weekend)
        return errorResult(error);
    const auto holidays = holidaysOf(c, holidaysArg, error);
    if (!holidays)
        return errorResult(error);
    return Value(workingDaysBetween(start.value, end.value, *weekend, *holidays, date1904(c)));
}
Operand networkDays(Call& c) {
    return networkDaysWith(c, std::nullopt, 2);
}
Operand networkDaysIntl(Call& c) {
    return networkDaysWith(c, 2, 3);
}

// The date `days` working days after (before, when negative) the start, which itself does not count.
Value addWorkingDays(double start, double days, const Weekend& weekend, const std::set<double>& holidays,
                     bool date1904) {
    int perWeek = 0;
    for (bool off : weekend)
        perWeek += off ? 0 : 1;
    if (perWeek == 0)
        return ErrorCode::Value;
    const double step = days < 0 ? -1 : 1;
    double remaining = std::fabs(std::trunc(days));
    double at = start;
    auto isWorking = [&](double d) { return !weekend[size_t(dayOfWeek(d, date1904))] && !holidays.count(d); };
    while (remaining > 0) {
        // Whole weeks at once, then the holidays they passed over are made up for.
        const double weeks = std::floor((remaining - 1) / perWeek);
        if (weeks > 0) {
            const double from = at;
            at += step * weeks * 7;
            remaining -= weeks * perWeek;
            if (at < -7 || at > lastSerial(date1904) + 7)
                return ErrorCode::Num;
            const double low = std::min(from, at) + (step > 0 ? 1 : 0);
            const double high = std::max(from, at) - (step > 0 ? 0 : 1);
            for (auto it = holidays.lower_bound(low); it != holidays.end() && *it <= high; ++it)
                remaining += weekend[size_t(dayOfWeek(*it, date1904))] ? 0 : 1;
            continue;
        }
        at += step;
        if (at < 0 || at > lastSerial(date1904))
            return ErrorCode::Num;
        if (isWorking(at))
            --remaining;
    }
    return serialResult(at, date1904);
}

Operand workdayWith(Call& c, std::optional<size_t> weekendArg, size_t holidaysArg) {
    const Number start = dateArgument(c, 0);
    if (start.error)
        return errorResult(*start.error);
    const Number days = c.number(1);
    if (days.error)
        return errorResult(*days.error);
    ErrorCode error = ErrorCode::Value;
    const auto weekend = weekendOf(c, weekendArg.value_or(c.count()), error);
    if (!weekend)
        return errorResult(error);
    const auto holidays = holidaysOf(c, holidaysArg, error);
    if (!holidays)
        return errorResult(error);
    if (std::fabs(days.value) > lastSerial(date1904(c)))
        return errorResult(ErrorCode::Num);
    return addWorkingDays(start.value, days.value, *weekend, *holidays, date1904(c));
}
Operand workday(Call& c) {
    return workdayWith(c, std::nullopt, 2);
}
Operand workdayIntl(Call& c) {
    return workdayWith(c, 2, 3);
}

Operand yearFrac(Call& c) {
    const Number start = dateArgument(c, 0);
    if (start.error)
        return errorResult(*start.error);
    const Number end = dateArgument(c, 1);
    if (end.error)
        return errorResult(*end.error);
    const Number basis = c.number(2, 0);
    if (basis.error)
        return errorResult(*basis.error);
    const double b = std::trunc(basis.value);
    if (b < 0 || b > 4)
        return errorResult(ErrorCode::Num);
    return numberResult(yearFraction(start.value, end.value, int(b), date1904(c)));
}

// The ISO 8601 week: weeks start on Monday, and week 1 holds the year's first Thursday.
double isoWeek(double serial, bool date1904) {
    const int monday0 = (dayOfWeek(serial, date1904) + 6) % 7;
    const double thursday = serial - monday0 + 3;
    const auto date = dateOfSerial(std::max(thursday, 1.0), date1904);
    const double firstDay = serialOfDate(date->year, 1, 1, date1904);
    return std::floor((thursday - firstDay) / 7) + 1;
}

// WEEKNUM(date, [type]): week 1 holds 1 January; weeks start on Sunday (types 1, 17), Monday (2, 11),
// Tuesday (12) ... Saturday (16); type 21 counts ISO weeks.
Operand weekNumber(Call& c) {
    const Number serial = dateArgument(c, 0);
    if (serial.error)
        return errorResult(*serial.error);
    const Number type = c.number(1, 1);
    if (type.error)
        return errorResult(*type.error);
    const int t = wholeArgument(type.value);
    if (t == 21)
        return Value(isoWeek(serial.value, date1904(c)));
    int firstDay;  // Sunday 0 .. Saturday 6
    if (t == 1 || t == 17)
        firstDay = 0;
    else if (t == 2 || t == 11)
        firstDay = 1;
    else if (t >= 12 && t <= 16)
        firstDay = t - 10;
    else
        return errorResult(ErrorCode::Num);
    const auto date = dateOfSerial(serial.value, date1904(c));
    if (!date)
        return errorResult(ErrorCode::Num);
    const double january1 = serialOfDate(date->year, 1, 1, date1904(c));
    const int offset = (dayOfWeek(std::max(january1, 0.0), date1904(c)) - firstDay + 7) % 7;
    return Value(std::floor((serial.value - january1 + offset) / 7) + 1);
}

Operand isoWeekNumber(Call& c) {
    const Number serial = dateArgument(c, 0);
    if (serial.error)
        return errorResult(*serial.error);
    return Value(isoWeek(serial.value, date1904(c)));
}

// DAYS360(start, end, [European]): the days between two dates counting twelve months of 30 days.
Operand days360Between(Call& c) {
    const Number start = dateArgument(c, 0);
    if (start.error)
        return errorResult(*start.error);
    const Number end = dateArgument(c, 1);
    if (end.error)
        return errorResult(*end.error);
    ErrorCode error{};
    const auto european = c.given(2) ? toBool(c.value(2), error) : std::optional<bool>(false);
    if (!european)
        return errorResult(error);
    const auto a = dateOfSerial(start.value, date1904(c));
    const auto b = dateOfSerial(end.value, date1904(c));
    if (!a || !b)
        return errorResult(ErrorCode::Num);
    return Value(days360(*a, *b, *european));
}

// DATEDIF(start, end, unit): whole years "Y", months "M" or days "D" between two dates; "MD" the days
// and "YM" the months left after whole months and years, "YD" the days left after whole years.
Operand dateDifference(Call& c) {
    const Number start = dateArgument(c, 0);
    if (start.error)
        return errorResult(*start.error);
    const Number end = dateArgument(c, 1);
    if (end.error)
        return errorResult(*end.error);
    ErrorCode error{};
    const auto unit = toText(c.value(2), error);
    if (!unit)
        return errorResult(error);
    if (start.value > end.value)
        return errorResult(ErrorCode::Num);
    const auto a = dateOfSerial(start.value, date1904(c));
    const auto b = dateOfSerial(end.value, date1904(c));
    if (!a || !b)
        return errorResult(ErrorCode::Num);
    const QString u = unit->toUpper();
    double months = (b->year - a->year) * 12 + (b->month - a->month);
    if (b->day < a->day)
        --months;
    if (u == QLatin1String("D"))
        return Value(end.value - start.value);
    if (u == QLatin1String("M"))
        return Value(months);
    if (u == QLatin1String("Y"))
        return Value(std::floor(months / 12));
    if (u == QLatin1String("YM"))
        return Value(std::fmod(months, 12.0));
    if (u == QLatin1String("MD")) {
        if (b->day >= a->day)
            return Value(double(b->day - a->day));
        // From the start's day in the month before the end's.
        return Value(end.value - serialOfDate(b->year, b->month - 1, a->day, date1904(c)));
    }
    if (u == QLatin1String("YD")) {
        const bool sameYearFits = std::tie(a->month, a->day) <= std::tie(b->month, b->day);
        const int year = sameYearFits ? b->year : b->year - 1;
        return Value(end.value - serialOfDate(year, a->month, std::min(a->day, daysInMonth(year, a->month)),
                                              date1904(c)));
    }
    return errorResult(ErrorCode::Num);
}

Operand dateValue(Call& c) {
    const Value v = c.value(0);
    if (const ErrorCode* e = errorOf(v))
        return errorResult(*e);
    const QString* text = std::get_if<QString>(&v);
    if (!text)
        return errorResult(ErrorCode::Value);
    const auto read = readDateTimeText(*text, date1904(c));
    if (!read || *read < 1)
        return errorResult(ErrorCode::Value);
    return Value(std::floor(*read));
}

Operand timeValue(Call& c) {
    const Value v = c.value(0);
    if (const ErrorCode* e = errorOf(v))
        return errorResult(*e);
    const QString* text = std::get_if<QString>(&v);
    if (!text)
        return errorResult(ErrorCode::Value);
    const auto read = readDateTimeText(*text, date1904(c));
    if (!read)
        return errorResult(ErrorCode::Value);
    return numberResult(*read - std::floor(*read));
}

// TIME(hour, minute, second): the fraction of a day; whole days beyond are dropped.
Operand timeOf(Call& c) {
    const NumberArgs a = numberArgs(c, {kRequired, kRequired, kRequired});
    if (a.error)
        return errorResult(*a.error);
    const double h = std::trunc(a[0]), m = std::trunc(a[1]), s = std::trunc(a[2]);
    if (h > 32767 || m > 32767 || s > 32767)
        return errorResult(ErrorCode::Num);
    const double seconds = h * 3600 + m * 60 + s;
    if (seconds < 0)
        return errorResult(ErrorCode::Num);
    return numberResult(std::fmod(seconds, 86400) / 86400);
}

// HOUR, MINUTE and SECOND of a serial number's time, rounded to the second.
Operand timePart(Call& c, int part) {
    const Value v = c.value(0);
    double serial = 0;
    if (const QString* text = std::get_if<QString>(&v)) {
        const auto read = readDateTimeText(*text, date1904(c));
        const Number n = read ? Number{*read, {}} : toNumber(v);
        if (n.error)
            return errorResult(*n.error);
        serial = n.value;
    } else {
        const Number n = toNumber(v);
        if (n.error)
            return errorResult(*n.error);
        serial = n.value;
    }
    if (serial < 0)
        return errorResult(ErrorCode::Num);
    const double seconds = std::fmod(std::round((serial - std::floor(serial)) * 86400), 86400);
    switch (part) {
        case 0:
            return Value(std::floor(seconds / 3600));
        case 1:
            return Value(std::fmod(std::floor(seconds / 60), 60));
        default:
            return Value(std::fmod(seconds, 60));
    }
}
Operand hour(Call& c) {
    return timePart(c, 0);
}
Operand minute(Call& c) {
    return timePart(c, 1);
}
Operand second(Call& c) {
    return timePart(c, 2);
}

// DAYS(end, start): the days from start to end.
Operand days(Call& c) {
    const Number end = dateArgument(c, 0);
    if (end.error)
        return errorResult(*end.error);
    const Number start = dateArgument(c, 1);
    if (start.error)
        return errorResult(*start.error);
    return Value(end.value - start.value);
}

constexpr FunctionInfo kFunctions[] = {
    {-1, "EDATE", 2, 2, 'V', "VV", false, edate, Storage::AddIn},
    {-1, "EOMONTH", 2, 2, 'V', "VV", false, eomonth, Storage::AddIn},
    {-1, "NETWORKDAYS", 2, 3, 'V', "VVR", false, networkDays, Storage::AddIn},
    {-1, "WORKDAY", 2, 3, 'V', "VVR", false, workday, Storage::AddIn},
    {-1, "YEARFRAC", 2, 3, 'V', "VVV", false, yearFrac, Storage::AddIn},
    {-1, "WEEKNUM", 1, 2, 'V', "VV", false, weekNumber, Storage::AddIn},
    {220, "DAYS360", 2, 3, 'V', "VVV", false, days360Between},
    {351, "DATEDIF", 3, 3, 'V', "VVV", false, dateDifference},
    {140, "DATEVALUE", 1, 1, 'V', "V", false, dateValue},
    {141, "TIMEVALUE", 1, 1, 'V', "V", false, timeValue},
    {66, "TIME", 3, 3, 'V', "VVV", false, timeOf},
    {71, "HOUR", 1, 1, 'V', "V", false, hour},
    {72, "MINUTE", 1, 1, 'V', "V", false, minute},
    {73, "SECOND", 1, 1, 'V', "V", false, second},
    {-1, "DAYS", 2, 2, 'V', "VV", false, days, Storage::Future},
    {-1, "ISOWEEKNUM", 1, 1, 'V', "V", false, isoWeekNumber, Storage::Future},
    {-1, "NETWORKDAYS.INTL", 2, 4, 'V', "VVVR", false, networkDaysIntl, Storage::Future},
    {-1, "WORKDAY.INTL", 2, 4, 'V', "VVVR", false, workdayIntl, Storage::Future},
};

}  // namespace

std::span<const FunctionInfo> calendarFunctions() {
    return kFunctions;
}

}  // namespace spreadsheet::formula_detail
