#pragma once

// Dates as the date and security functions count them: calendar arithmetic on serial numbers, the
// day-count bases of loans and bonds (0 US 30/360, 1 actual/actual, 2 actual/360, 3 actual/365,
// 4 European 30/360), and dates and times written as text.

#include <optional>

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

inline constexpr double kLastDateSerial = 2958465;  // 31 December 9999 in the 1900 system

bool isLeapYear(int year);
int daysInMonth(int year, int month);
// The day's number with the month moved by `months`, kept within the new month (31 January plus
// one month is the last day of February).
YearMonthDay addMonths(const YearMonthDay& date, int months);

// The last serial number the workbook's date system holds.
double lastSerial(bool date1904);

// A date argument: a number, or a text that reads as a date (DATEVALUE) or a number; blank is 0.
// The whole part, or the error it gives (#VALUE! for other texts, #NUM! for negative dates).
Number dateArgument(const Call& c, size_t i);
// The same for an argument that may be left out.
Number dateArgument(const Call& c, size_t i, double fallback);

// Texts read as DATEVALUE and TIMEVALUE read them: "2024-01-31", "1/31/2024" (in the order of the
// regional short date), "31-Jan-2024", "January 31, 2024", "6:45 PM", "18:45:30", and a date with a
// time. The serial number with its time as the fraction; nothing when the text is none of them.
std::optional<double> readDateTimeText(const QString& text, bool date1904);

// Days between two dates under a day-count basis (30/360 bases count months of 30 days).
double days360(const YearMonthDay& start, const YearMonthDay& end, bool european);
// The fraction of a year between two serial numbers under a basis 0 to 4, as YEARFRAC counts it.
double yearFraction(double start, double end, int basis, bool date1904);
// The days of a year under a basis: 360, 365, or (basis 1) the actual length of the year.
double daysInYear(int year, int basis);

}  // namespace spreadsheet::formula_detail
