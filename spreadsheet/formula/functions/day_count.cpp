#include "spreadsheet/formula/functions/day_count.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>
#include <tuple>

namespace spreadsheet::formula_detail {

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

YearMonthDay addMonths(const YearMonthDay& date, int months) {
    const int index = date.year * 12 + (date.month - 1) + months;
    const int year = int(std::floor(index / 12.0));
    const int month = index - year * 12 + 1;
    return {year, month, std::min(date.day, daysInMonth(year, month))};
}

double lastSerial(bool date1904) {
    return date1904 ? kLastDateSerial - 1462 : kLastDateSerial;
}

Number dateArgument(const Call& c, size_t i) {
    const Value v = c.value(i);
    double serial = 0;
    if (const QString* text = std::get_if<QString>(&v)) {
        const auto read = readDateTimeText(*text, c.evaluator.workbook().date1904);
        if (!read) {
            const Number n = toNumber(v);
            if (n.error)
                return n;
            serial = n.value;
        } else {
            serial = *read;
        }
    } else {
        const Number n = toNumber(v);
        if (n.error)
            return n;
        serial = n.value;
    }
    if (serial < 0 || serial >= lastSerial(c.evaluator.workbook().date1904) + 1)
        return {0, ErrorCode::Num};
    return {std::floor(serial), {}};
}

Number dateArgument(const Call& c, size_t i, double fallback) {
    return c.given(i) ? dateArgument(c, i) : Number{fallback, {}};
}

namespace {

std::optional<int> monthNamed(const QString& word) {
    static const char* const kMonths[] = {"january",   "february", "march",    "april",
                                          "may",       "june",     "july",     "august",
                                          "september", "october",  "november", "december"};
    const QString lower = word.toLower();
    if (lower.size() < 3)
        return std::nullopt;
    for (int m = 0; m < 12; ++m) {
        const QString full = QString::fromLatin1(kMonths[m]);
        if (full == lower ||
            (full.startsWith(lower) && (lower.size() == 3 || lower == QLatin1String("sept"))))
            return m + 1;
    }
    return std::nullopt;
}

// Two-digit years: 0 to 29 are 2000 to 2029, 30 to 99 are 1930 to 1999.
int fullYear(const QString& digits) {
    const int year = digits.toInt();
    if (digits.size() <= 2)
        return year < 30 ? 2000 + year : 1900 + year;
    return year;
}

std::optional<double> serialOf(int year, int month, int day, bool date1904) {
    if (month < 1 || month > 12 || day < 1 || year < (date1904 ? 1904 : 1900) || year > 9999)
        return std::nullopt;
    // The 1900 system holds a 29 February 1900.
    const bool phantom = !date1904 && year == 1900 && month == 2 && day == 29;
    if (day > daysInMonth(year, month) && !phantom)
        return std::nullopt;
    return phantom ? 60.0 : serialOfDate(year, month, day, date1904);
}

// The order of day, month and year in the regional short date: "DMY", "MDY" or "YMD".
QString regionalOrder() {
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    const qsizetype d = format.indexOf(u'd'), m = format.indexOf(u'M'), y = format.indexOf(u'y');
    if (y >= 0 && y < d && y < m)
        return QStringLiteral("YMD");
    return d >= 0 && m >= 0 && d < m ? QStringLiteral("DMY") : QStringLiteral("MDY");
}

std::optional<double> readDate(const QString& s, bool date1904) {
    static const QRegularExpression numeric(QStringLiteral("^(\\d{1,4})([-/.])(\\d{1,2})\\2(\\d{1,4})$"));
    static const QRegularExpression pair(QStringLiteral("^(\\d{1,4})[-/.](\\d{1,4})$"));
    static const QRegularExpression dayFirst(
        QStringLiteral("^(\\d{1,2})[-/ .]+([A-Za-z]+)\\.?(?:[-/ ,.]+(\\d{2,4}))?$"));
    static const QRegularExpression monthFirst(
        QStringLiteral("^([A-Za-z]+)\\.?[-/ ]+(\\d{1,4})(?:(?:,\\s*|[-/ ]+)(\\d{2,4}))?$"));
    const int thisYear = QDate::currentDate().year();
    if (const auto m = numeric.match(s); m.hasMatch()) {
        const QString a = m.captured(1), b = m.captured(3), c = m.captured(4);
        if (a.size() > 2)  // 2024-01-31
            return serialOf(a.toInt(), b.toInt(), c.toInt(), date1904);
        const QString order = regionalOrder();
        if (order == QLatin1String("DMY"))
            return serialOf(fullYear(c), b.toInt(), a.toInt(), date1904);
        if (order == QLatin1String("YMD"))
            return serialOf(fullYear(a), b.toInt(), c.toInt(), date1904);
        return serialOf(fullYear(c), a.toInt(), b.toInt(), date1904);
    }
    if (const auto m = pair.match(s); m.hasMatch()) {
        const QString a = m.captured(1), b = m.captured(2);
        if (b.size() > 2)  // 1/2024: the first of the month
            return serialOf(b.toInt(), a.toInt(), 1, date1904);
        if (a.size() > 2)
            return serialOf(a.toInt(), b.toInt(), 1, date1904);
        return regionalOrder() == QLatin1String("DMY") ? serialOf(thisYear, b.toInt(), a.toInt(), date1904)
                                                       : serialOf(thisYear, a.toInt(), b.toInt(), date1904);
    }
    if (const auto m = dayFirst.match(s); m.hasMatch()) {
        const auto month = monthNamed(m.captured(2));
        if (!month)
            return std::nullopt;
        const int year = m.captured(3).isEmpty() ? thisYear : fullYear(m.captured(3));
        return serialOf(year, *month, m.captured(1).toInt(), date1904);
    }
    if (const auto m = monthFirst.match(s); m.hasMatch()) {
        const auto month = monthNamed(m.captured(1));
        if (!month)
            return std::nullopt;
        const QString second = m.captured(2);
        if (m.captured(3).isEmpty()) {
            // "Jan 2024" names a month, "Jan 31" a day of this year.
            if (second.size() > 2 || second.toInt() > 31)
                return serialOf(fullYear(second), *month, 1, date1904);
            return serialOf(thisYear, *month, second.toInt(), date1904);
        }
        if (second.size() > 2)
            return std::nullopt;
        return serialOf(fullYear(m.captured(3)), *month, second.toInt(), date1904);
    }
    return std::nullopt;
}

}  // namespace

std::optional<double> readDateTimeText(const QString& text, bool date1904) {
    static const QRegularExpression time(
        QStringLiteral("(?:^|\\s+)(\\d{1,4}):(\\d{1,2})(?::(\\d{1,2}(?:\\.\\d*)?))?\\s*([AaPp][Mm]?)?$"));
    QString s = text.simplified();
    if (s.isEmpty())
        return std::nullopt;
    double fraction = 0;
    if (const auto m = time.match(s); m.hasMatch()) {
        double hours = m.captured(1).toDouble();
        const double minutes = m.captured(2).toDouble();
        const double seconds = m.captured(3).isEmpty() ? 0 : m.captured(3).toDouble();
        if (minutes >= 60 || seconds >= 60)
            return std::nullopt;
        if (!m.captured(4).isEmpty()) {
            if (hours < 1 || hours > 12)
                return std::nullopt;
            const bool pm = m.captured(4).startsWith(u'p', Qt::CaseInsensitive);
            hours = std::fmod(hours, 12) + (pm ? 12 : 0);
        }
        fraction = (hours * 3600 + minutes * 60 + seconds) / 86400;
        s = s.left(m.capturedStart(0)).trimmed();
        if (s.isEmpty())
            return fraction;
        if (fraction >= 1)
            return std::nullopt;
    }
    const auto date = readDate(s, date1904);
    if (!date)
        return std::nullopt;
    return *date + fraction;
}

double days360(const YearMonthDay& start, const YearMonthDay& end, bool european) {
    int d1 = start.day;
    int d2 = end.day;
    int m2 = end.month;
    int y2 = end.year;
    if (european) {
        d1 = std::min(d1, 30);
        d2 = std::min(d2, 30);
    } else {
        // The last day of a month counts as its 30th; an end on the 31st moves to the first of the
        // next month when the start is before the 30th, else to the 30th.
        if (d1 == daysInMonth(start.year, start.month))
            d1 = 30;
        if (d2 == 31) {
            if (d1 < 30) {
                d2 = 1;
                if (++m2 > 12) {
                    m2 = 1;
                    ++y2;
                }
            } else {
                d2 = 30;
            }
        }
    }
    return double((y2 - start.year) * 360 + (m2 - start.month) * 30 + (d2 - d1));
}

namespace {

bool isLastOfFebruary(const YearMonthDay& d) {
    return d.month == 2 && d.day == daysInMonth(d.year, 2);
}

// YEARFRAC's US 30/360: like the NASD rule, with both ends on the last of February counting as the
// 30th, and an end on the 31st kept when the start is before the 30th.
double yearFraction30360(YearMonthDay a, YearMonthDay b) {
    if (a.day == 31 && b.day == 31) {
        a.day = b.day = 30;
    } else if (a.day == 31) {
        a.day = 30;
    } else if (a.day == 30 && b.day == 31) {
        b.day = 30;
    } else if (isLastOfFebruary(a) && isLastOfFebruary(b)) {
        a.day = b.day = 30;
    } else if (isLastOfFebruary(a)) {
        a.day = 30;
    }
    return double((b.year - a.year) * 360 + (b.month - a.month) * 30 + (b.day - a.day)) / 360;
}

bool before(const YearMonthDay& a, const YearMonthDay& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
}

// Actual/actual: within about a year, the length of the year the span lies in (366 when it holds a
// 29 February); over longer spans the average length of the years it touches.
double yearFractionActual(double start, double end, const YearMonthDay& a, const YearMonthDay& b,
                          bool date1904) {
    const double days = end - start;
    const bool withinAYear =
        a.year == b.year ||
        (a.year + 1 == b.year && (a.month > b.month || (a.month == b.month && a.day >= b.day)));
    if (withinAYear) {
        double length = 365;
        if (a.year == b.year && isLeapYear(a.year)) {
            length = 366;
        } else if ((isLeapYear(a.year) && before(a, {a.year, 3, 1})) ||
                   (isLeapYear(b.year) && !before(b, {b.year, 3, 1})) || (b.month == 2 && b.day == 29)) {
            length = 366;
        }
        return days / length;
    }
    const double years = double(b.year - a.year + 1);
    const double spanned = serialOfDate(b.year + 1, 1, 1, date1904) - serialOfDate(a.year, 1, 1, date1904);
    return days / (spanned / years);
}

}  // namespace

double yearFraction(double start, double end, int basis, bool date1904) {
    if (start > end)
        std::swap(start, end);
    const auto a = dateOfSerial(start, date1904);
    const auto b = dateOfSerial(end, date1904);
    if (!a || !b)
        return 0;
    switch (basis) {
        case 0:
            return yearFraction30360(*a, *b);
        case 1:
            return yearFractionActual(start, end, *a, *b, date1904);
        case 2:
            return (end - start) / 360;
        case 3:
            return (end - start) / 365;
        default:
            return days360(*a, *b, true) / 360;
    }
}

double daysInYear(int year, int basis) {
    switch (basis) {
        case 1:
            return isLeapYear(year) ? 366 : 365;
        case 3:
            return 365;
        default:
            return 360;
    }
}

}  // namespace spreadsheet::formula_detail
