// Dates and times from serial numbers. In the 1900 date system day 1 is 1 January 1900 and day 60 is
// 29 February 1900, a day that never was but that spreadsheets have always counted; so days before
// 1 March 1900 are one off from the calendar, weekdays included. In the 1904 system day 0 is 1 January 1904.

#include <QDate>
#include <cmath>

#include "spreadsheet/format/number_format_internal.h"

namespace spreadsheet::number_format_detail {

namespace {

struct DateParts {
    int year = 1900;
    int month = 1;
    int day = 0;
    int weekday = 0;  // 0 Sunday
};

constexpr const char* kMonths[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kDays[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};

DateParts dateOf(qint64 days, bool date1904) {
    DateParts parts;
    if (date1904) {
        const QDate date = QDate(1904, 1, 1).addDays(days);
        parts = {date.year(), date.month(), date.day(), date.dayOfWeek() % 7};
        return parts;
    }
    parts.weekday = int((days + 6) % 7);
    if (days == 0) {
        parts.day = 0;  // "January 0, 1900", as spreadsheets show a zero date
    } else if (days == 60) {
        parts.month = 2;
        parts.day = 29;
    } else {
        const QDate date = days < 60 ? QDate(1899, 12, 31).addDays(days) : QDate(1899, 12, 30).addDays(days);
        parts.year = date.year();
        parts.month = date.month();
        parts.day = date.day();
    }
    return parts;
}

QString padded(qint64 n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

// Day and month names in a language: English ones as a US spreadsheet writes them, the others as the
// locale's data has them. Months in a date with a day take the form that goes with a day (some
// languages inflect them), months alone the form that stands alone.
class Names {
public:
    Names(const QLocale& locale, bool withDay)
        : locale_(locale),
          english_(locale.language() == QLocale::C || locale.language() == QLocale::English),
          withDay_(withDay) {}

    QString month(int month, int letters) const {
        if (english_) {
            const QString name = QString::fromLatin1(kMonths[month - 1]);
            return letters == 3 ? name.left(3) : (letters == 5 ? name.left(1) : name);
        }
        const QLocale::FormatType type = letters == 3 ? QLocale::ShortFormat : QLocale::LongFormat;
        const QString name =
            withDay_ ? locale_.monthName(month, type) : locale_.standaloneMonthName(month, type);
        return letters == 5 ? name.left(1) : name;
    }

    // weekday: 0 Sunday.
    QString day(int weekday, int letters) const {
        if (english_) {
            const QString name = QString::fromLatin1(kDays[weekday]);
            return letters == 3 ? name.left(3) : name;
        }
        return locale_.dayName(weekday == 0 ? 7 : weekday,
                               letters == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
    }

private:
    QLocale locale_;
    bool english_;
    bool withDay_;
};

}  // namespace

bool formatDateSection(const Section& section, double serial, const FormatOptions& options,
                       FormattedText& out) {
    int subSecondDigits = 0;
    bool twelveHour = false;
    bool withDay = false;
    for (const Token& t : section.tokens) {
        if (t.kind == TokenKind::SubSecond)
            subSecondDigits = std::max(subSecondDigits, t.count);
        if (t.kind == TokenKind::AmPm)
            twelveHour = true;
        if (t.kind == TokenKind::Date && t.text[0] == u'd' && t.text.size() <= 2)
            withDay = true;
    }
    const Names names(section.language.value_or(options.locale), withDay);
    // Time is rounded to what the format shows of a second, so 10:30:59.6 reads 10:31:00; a minute or
    // hour shown alone is then cut, not rounded, as a clock does.
    qint64 ticksPerSecond = 1;
    for (int i = 0; i < subSecondDigits; ++i)
        ticksPerSecond *= 10;
    const qint64 ticksPerDay = 86400 * ticksPerSecond;
    const double scaled = serial * double(ticksPerDay);
    if (serial < 0 || scaled > 9.0e15)
        return false;
    const qint64 ticks = std::llround(scaled);
    const qint64 days = ticks / ticksPerDay;
    const qint64 secondsTotal = ticks / ticksPerSecond;
    const qint64 subSecond = ticks % ticksPerSecond;
    const qint64 secondOfDay = secondsTotal % 86400;

    const DateParts date = dateOf(days, options.date1904);
    if (date.year > 9999)
        return false;
    const int hour = int(secondOfDay / 3600);
    const int minute = int(secondOfDay / 60 % 60);
    const int second = int(secondOfDay % 60);

    for (const Token& t : section.tokens) {
        QString text;
        switch (t.kind) {
            case TokenKind::Literal:
                text = t.text;
                break;
            case TokenKind::Spacing:
            case TokenKind::Fill:
                appendLayout(out, t);
                continue;
            case TokenKind::Date: {
                const QChar letter = t.text[0];
                const int n = int(t.text.size());
                if (letter == u'y') {
                    text = n <= 2 ? padded(date.year % 100, 2) : padded(date.year, 4);
                } else if (letter == u'm') {
                    text = n <= 2 ? padded(date.month, n) : names.month(date.month, n);
                } else if (letter == u'd') {
                    text = n <= 2 ? padded(date.day, n) : names.day(date.weekday, n);
                } else if (letter == u'h') {
                    const int shown = twelveHour ? (hour % 12 == 0 ? 12 : hour % 12) : hour;
                    text = padded(shown, std::min(n, 2));
                } else if (letter == u'n') {
                    text = padded(minute, std::min(n, 2));
                } else if (letter == u's') {
                    text = padded(second, std::min(n, 2));
                }
                break;
            }
            case TokenKind::Elapsed: {
                const int n = int(t.text.size());
                if (t.text[0] == u'h')
                    text = padded(secondsTotal / 3600, n);
                if (t.text[0] == u'm')
                    text = padded(secondsTotal / 60, n);
                if (t.text[0] == u's')
                    text = padded(secondsTotal, n);
                break;
            }
            case TokenKind::SubSecond:
                text = u'.' + padded(subSecond, subSecondDigits).left(t.count);
                break;
            case TokenKind::AmPm: {
                const bool pm = hour >= 12;
                if (t.text.size() == 5) {  // AM/PM, keeping the case of the code
                    text = pm ? t.text.mid(3, 2) : t.text.left(2);
                } else {
                    text = pm ? t.text.mid(2, 1) : t.text.left(1);
                }
                break;
            }
            default:
                break;
        }
        appendLiteral(out, text);
    }
    return true;
}

}  // namespace spreadsheet::number_format_detail
