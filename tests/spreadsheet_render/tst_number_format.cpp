#include "tst_number_format.h"

#include <QTest>

#include "spreadsheet/number_format.h"

using namespace spreadsheet;

Q_DECLARE_METATYPE(spreadsheet::Value)

namespace {

FormattedText formatWith(const QString& code, const Value& value, bool date1904 = false, int width = 11) {
    FormatOptions options;
    options.date1904 = date1904;
    options.generalWidth = width;
    return NumberFormat(code).format(value, options);
}

}  // namespace

void TestNumberFormat::accountingFormats_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("beforeFill");
    QTest::addColumn<QString>("afterFill");

    // "$" stays at the left of the cell, the amount at the right, the fill between them.
    QTest::newRow("42 positive") << 42 << 1234.0 << " $"
                                 << "1,234 ";
    QTest::newRow("42 zero is a dash") << 42 << 0.0 << " $"
                                       << "- ";
    QTest::newRow("42 negative in parentheses") << 42 << -1234.4 << " $"
                                                << "(1,234)";
    QTest::newRow("42 rounds half away from zero") << 42 << 1500.5 << " $"
                                                   << "1,501 ";
    QTest::newRow("42 cents round to -0 shows parentheses") << 42 << -0.4 << " $"
                                                            << "(0)";
    QTest::newRow("41 positive") << 41 << 19750.25 << " "
                                 << "19,750 ";
    QTest::newRow("41 zero is a dash") << 41 << 0.0 << " "
                                       << "- ";
    QTest::newRow("41 negative") << 41 << -5.0 << " "
                                 << "(5)";
    QTest::newRow("41 carries into a new group") << 41 << 999999.6 << " "
                                                 << "1,000,000 ";
    QTest::newRow("44 zero keeps decimal room") << 44 << 0.0 << " $"
                                                << "-   ";
    QTest::newRow("44 cents") << 44 << 1234.5 << " $"
                              << "1,234.50 ";
    QTest::newRow("43 negative cents") << 43 << -0.125 << " "
                                       << "(0.13)";
}

void TestNumberFormat::accountingFormats() {
    QFETCH(int, id);
    QFETCH(double, value);
    Workbook workbook;
    const FormattedText text = formatValue(workbook, quint16(id), value);
    QVERIFY(text.hasFill());
    QCOMPARE(text.fillChar, QChar(u' '));
    QFETCH(QString, beforeFill);
    QFETCH(QString, afterFill);
    QCOMPARE(text.textBeforeFill(), beforeFill);
    QCOMPARE(text.textAfterFill(), afterFill);
    QVERIFY(text.numeric);
    QVERIFY(!text.hashes);
}

void TestNumberFormat::accountingGapsAreCharacterWidths() {
    Workbook workbook;
    // The renderer must know that the blanks around the amount are as wide as "(" and ")", so that
    // positive and negative amounts line up in a column.
    const FormattedText positive = formatValue(workbook, 42, 7.0);
    QCOMPARE(positive.segments.size(), size_t(4));
    QCOMPARE(positive.segments[0], (FormattedSegment{QStringLiteral("("), true}));
    QCOMPARE(positive.segments[1], (FormattedSegment{QStringLiteral("$"), false}));
    QCOMPARE(positive.fillBefore, 2);
    QCOMPARE(positive.segments[2], (FormattedSegment{QStringLiteral("7"), false}));
    QCOMPARE(positive.segments[3], (FormattedSegment{QStringLiteral(")"), true}));

    // Text takes the fourth section, spaced the same way and without a fill.
    const FormattedText label = formatValue(workbook, 41, QStringLiteral("n/a"));
    QVERIFY(!label.hasFill());
    QCOMPARE(label.segments.front(), (FormattedSegment{QStringLiteral("("), true}));
    QCOMPARE(label.text(), QStringLiteral(" n/a "));

    const FormattedText dashes = formatWith(QStringLiteral("*-0"), 5.0);
    QCOMPARE(dashes.fillChar, QChar(u'-'));
    QCOMPARE(dashes.fillBefore, 0);
    QCOMPARE(dashes.textAfterFill(), QStringLiteral("5"));
}

void TestNumberFormat::fixedPercentExponentFraction_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("half rounds up") << "0" << 2.5 << "3";
    QTest::newRow("negative half rounds away") << "0" << -2.5 << "-3";
    QTest::newRow("binary 1.005 shows 1.01") << "0.00" << 1.005 << "1.01";
    QTest::newRow("small negative keeps sign") << "0" << -0.1 << "-0";
    QTest::newRow("grouping") << "#,##0.00" << 1234567.891 << "1,234,567.89";
    QTest::newRow("grouping of zero") << "#,##0" << 0.0 << "0";
    QTest::newRow("optional digits") << "#.##" << 0.5 << ".5";
    QTest::newRow("optional digits of zero") << "#.##" << 0.0 << ".";
    QTest::newRow("question marks pad") << "0.0??" << 1.5 << "1.5  ";
    QTest::newRow("leading zeros") << "00000" << 42.0 << "00042";
    QTest::newRow("more digits than placeholders") << "0" << 123456.0 << "123456";
    QTest::newRow("only decimals placeholders") << ".00" << 12.5 << "12.50";
    QTest::newRow("scaling by thousands") << "0.0,," << 1234567.0 << "1.2";
    QTest::newRow("grouping and scaling") << "#,##0," << 12345678.0 << "12,346";
    QTest::newRow("literals between digits") << "000-00-0000" << 123456789.0 << "123-45-6789";
    QTest::newRow("escaped parentheses") << "\\(0\\)" << 5.0 << "(5)";
    QTest::newRow("quoted text") << "0 \"kg\"" << 3.0 << "3 kg";
    QTest::newRow("currency of a locale") << "[$€-407] #,##0.00" << 1234.5 << "€ 1,234.50";
    QTest::newRow("currency sign before minus") << "\"$\"#,##0.00" << -5.0 << "-$5.00";
    QTest::newRow("percent") << "0%" << 0.125 << "13%";
    QTest::newRow("percent decimals") << "0.00%" << 0.12345 << "12.35%";
    QTest::newRow("exponent") << "0.00E+00" << 12345.0 << "1.23E+04";
    QTest::newRow("negative exponent") << "0.00E+00" << 0.00012345 << "1.23E-04";
    QTest::newRow("exponent rounding carries") << "0.0E+00" << 9.99 << "1.0E+01";
    QTest::newRow("exponent of zero") << "0.00E+00" << 0.0 << "0.00E+00";
    QTest::newRow("engineering") << "##0.0E+0" << 12345.0 << "12.3E+3";
    QTest::newRow("fraction") << "# ?/?" << 1.5 << "1 1/2";
    QTest::newRow("fraction two digits") << "# ?\?/??" << 3.14159 << "3 14/99";
    QTest::newRow("fraction whole number keeps room") << "# ?/?" << 5.0 << "5    ";
    QTest::newRow("fraction rounds to next whole") << "# ?/?" << 2.97 << "3    ";
    QTest::newRow("fixed denominator") << "# ?/8" << 2.3 << "2 2/8";
    QTest::newRow("improper fraction") << "?/?" << 1.5 << "3/2";
    QTest::newRow("built-in 37 negative") << "#,##0_);\\(#,##0\\)" << -1500.0 << "(1,500)";
}

void TestNumberFormat::fixedPercentExponentFraction() {
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, expected);
    QCOMPARE(formatWith(code, value).text(), expected);
}

void TestNumberFormat::general_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    QTest::newRow("zero") << 0.0 << 11 << "0";
    QTest::newRow("binary noise hidden") << 0.1 + 0.2 << 11 << "0.3";
    QTest::newRow("a third fills eleven characters") << 1.0 / 3 << 11 << "0.333333333";
    QTest::newRow("two thirds rounds") << 2.0 / 3 << 11 << "0.666666667";
    QTest::newRow("eleven digits stay") << 12345678901.0 << 11 << "12345678901";
    QTest::newRow("twelve digits switch to exponent") << 123456789012.0 << 11 << "1.23457E+11";
    QTest::newRow("rounding up to twelve digits") << 99999999999.7 << 11 << "1E+11";
    QTest::newRow("negative decimals") << -1234.5678 << 11 << "-1234.5678";
    QTest::newRow("small stays plain") << 0.0001 << 11 << "0.0001";
    QTest::newRow("tiny uses exponent") << 1.23456789e-7 << 11 << "1.23457E-07";
    QTest::newRow("three digit exponent") << 1e100 << 11 << "1E+100";
    QTest::newRow("narrow column rounds decimals") << 1234.5678 << 6 << "1234.6";
    QTest::newRow("narrower column drops the point") << 1234.5678 << 5 << "1235";
    QTest::newRow("narrow column integer in exponent form") << 123456.0 << 5 << "1E+05";
    QTest::newRow("narrow column exponent with decimals") << 123456.0 << 7 << "123456";
    QTest::newRow("minus counts") << -0.333333333333 << 6 << "-0.333";
}

void TestNumberFormat::general() {
    QFETCH(double, value);
    QFETCH(int, width);
    const FormattedText text = formatWith(QStringLiteral("General"), value, false, width);
    QVERIFY(text.general);
    QFETCH(QString, expected);
    QCOMPARE(text.text(), expected);
}

void TestNumberFormat::datesAndTimes_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("expected");

    const double t1030 = 10.5 / 24;
    QTest::newRow("short date") << "m/d/yyyy" << 45000.0 << false << "3/15/2023";
    QTest::newRow("same day in 1904") << "m/d/yyyy" << 45000.0 - 1462 << true << "3/15/2023";
    QTest::newRow("1904 epoch") << "m/d/yyyy" << 0.0 << true << "1/1/1904";
    QTest::newRow("day zero") << "m/d/yyyy" << 0.0 << false << "1/0/1900";
    QTest::newRow("the day that never was") << "d-mmm-yy" << 60.0 << false << "29-Feb-00";
    QTest::newRow("the day after") << "d-mmm-yy" << 61.0 << false << "1-Mar-00";
    QTest::newRow("day one is a Sunday") << "dddd" << 1.0 << false << "Sunday";
    QTest::newRow("weekday after the leap day") << "ddd dd" << 61.0 << false << "Thu 01";
    QTest::newRow("long date with locale")
        << "[$-409]dddd\\,\\ mmmm\\ dd\\,\\ yyyy" << 45000.0 << false << "Wednesday, March 15, 2023";
    QTest::newRow("system long date")
        << "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy" << 44990.0 << false << "Sunday, March 5, 2023";
    QTest::newRow("month names") << "mmm-yy mmmmm" << 45000.0 << false << "Mar-23 M";
    QTest::newRow("afternoon") << "h:mm AM/PM" << 0.75 << false << "6:00 PM";
    QTest::newRow("midnight") << "h:mm AM/PM" << 0.0 << false << "12:00 AM";
    QTest::newRow("short am/pm") << "h A/P" << 0.25 << false << "6 A";
    QTest::newRow("m after h is minutes") << "h:mm" << t1030 << false << "10:30";
    QTest::newRow("m before s is minutes") << "mm:ss" << 95.0 / 86400 << false << "01:35";
    QTest::newRow("seconds round") << "h:mm:ss" << t1030 + 59.6 / 86400 << false << "10:31:00";
    QTest::newRow("minutes are cut") << "h:mm" << t1030 + 59.0 / 86400 << false << "10:30";
    QTest::newRow("elapsed hours") << "[h]:mm:ss" << 1.5 << false << "36:00:00";
    QTest::newRow("tenths of a second") << "mm:ss.0" << 12.34 / 86400 << false << "00:12.3";
    QTest::newRow("rounding carries into the next day")
        << "m/d/yyyy h:mm" << 45000.9999999 << false << "3/16/2023 0:00";
    QTest::newRow("two digit year") << "dd/mm/yy" << 36526.0 << false << "01/01/00";
}

void TestNumberFormat::datesAndTimes() {
    QFETCH(QString, code);
    QFETCH(double, serial);
    QFETCH(bool, date1904);
    const NumberFormat format(code);
    QVERIFY(format.isDateTime());
    FormatOptions options;
    options.date1904 = date1904;
    QFETCH(QString, expected);
    QCOMPARE(format.format(serial, options).text(), expected);
}

void TestNumberFormat::impossibleDatesShowHashes() {
    QVERIFY(formatWith(QStringLiteral("m/d/yyyy"), -1.0).hashes);
    QVERIFY(formatWith(QStringLiteral("m/d/yyyy"), 2958466.0).hashes);  // 1 January 10000
    QVERIFY(!formatWith(QStringLiteral("m/d/yyyy"), 2958465.0).hashes);
    QVERIFY(formatWith(QStringLiteral("[>100]0"), 5.0).hashes);  // no section takes it
    QVERIFY(!formatWith(QStringLiteral("0"), 5.0).hashes);
}

void TestNumberFormat::sectionsAndConditions_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("color");

    QTest::newRow("zero section") << "0;-0;\"zero\"" << Value(0.0) << "zero" << -1;
    QTest::newRow("negative section has no automatic minus") << "0;(0)" << Value(-3.0) << "(3)" << -1;
    QTest::newRow("two sections: zero takes the first") << "0.0;(0)" << Value(0.0) << "0.0" << -1;
    QTest::newRow("empty negative section hides") << "0;;0" << Value(-3.0) << "" << -1;
    QTest::newRow("colour of the positive section") << "[Red]0;[Blue]-0" << Value(5.0) << "5" << 10;
    QTest::newRow("colour of the negative section") << "[Red]0;[Blue]-0" << Value(-5.0) << "-5" << 12;
    QTest::newRow("numbered colour") << "[Color10]0" << Value(1.0) << "1" << 17;
    QTest::newRow("condition first") << "[>=100]\"big\";[<0]\"neg\";0" << Value(150.0) << "big" << -1;
    QTest::newRow("condition second") << "[>=100]\"big\";[<0]\"neg\";0" << Value(-1.0) << "neg" << -1;
    QTest::newRow("condition otherwise") << "[>=100]\"big\";[<0]\"neg\";0" << Value(50.0) << "50" << -1;
    QTest::newRow("phone short") << "[<=9999999]###-####;(###) ###-####" << Value(5551234.0) << "555-1234"
                                 << -1;
    QTest::newRow("phone long") << "[<=9999999]###-####;(###) ###-####" << Value(2125551234.0)
                                << "(212) 555-1234" << -1;
    QTest::newRow("condition and colour") << "[Red][<=100]0;[Blue][>100]0.0" << Value(150.0) << "150.0" << 12;
    QTest::newRow("condition keeps the minus") << "[<=100]0;0.0" << Value(-7.0) << "-7" << -1;
    QTest::newRow("text section") << "0;0;0;\"<\"@\">\"" << Value(QStringLiteral("abc")) << "<abc>" << -1;
    QTest::newRow("number format leaves text alone") << "0.00" << Value(QStringLiteral("abc")) << "abc" << -1;
    QTest::newRow("text format shows numbers as General") << "@" << Value(12.5) << "12.5" << -1;
    QTest::newRow("general inside a section") << "General;[Red]-General" << Value(-2.5) << "-2.5" << 10;
    QTest::newRow("fifth section ignored") << "0;0;0;@;\"x\"" << Value(1.0) << "1" << -1;
    QTest::newRow("semicolon in quotes") << "\"a;b\"0" << Value(1.0) << "a;b1" << -1;
}

void TestNumberFormat::sectionsAndConditions() {
    QFETCH(QString, code);
    QFETCH(Value, value);
    QFETCH(int, color);
    const FormattedText text = NumberFormat(code).format(value);
    QFETCH(QString, expected);
    QCOMPARE(text.text(), expected);
    QCOMPARE(text.colorIndex.has_value() ? int(*text.colorIndex) : -1, color);
}

void TestNumberFormat::textBooleansAndErrors() {
    const NumberFormat general;
    QCOMPARE(general.format(true).text(), QStringLiteral("TRUE"));
    QCOMPARE(general.format(false).text(), QStringLiteral("FALSE"));
    QCOMPARE(general.format(ErrorCode::Div0).text(), QStringLiteral("#DIV/0!"));
    QVERIFY(!general.format(true).numeric);
    QVERIFY(general.format(Value{}).segments.empty());
    QCOMPARE(general.format(QStringLiteral("  spaced ")).text(), QStringLiteral("  spaced "));
}

void TestNumberFormat::formatCodeLookup() {
    Workbook workbook;
    QCOMPARE(builtInNumberFormatCode(0), QStringLiteral("General"));
    QCOMPARE(builtInNumberFormatCode(14), QStringLiteral("m/d/yyyy"));
    QCOMPARE(builtInNumberFormatCode(22), QStringLiteral("m/d/yyyy h:mm"));
    QCOMPARE(builtInNumberFormatCode(46), QStringLiteral("[h]:mm:ss"));
    QCOMPARE(builtInNumberFormatCode(49), QStringLiteral("@"));
    QVERIFY(builtInNumberFormatCode(23).isEmpty());
    QVERIFY(builtInNumberFormatCode(50).isEmpty());

    // The workbook's own FORMAT records win over the built-in table.
    const quint16 custom = workbook.addNumberFormat(QStringLiteral("0.000"));
    QCOMPARE(formatValue(workbook, custom, 1.0).text(), QStringLiteral("1.000"));
    workbook.numberFormats[3] = QStringLiteral("0.0");
    QCOMPARE(formatValue(workbook, 3, 1234.0).text(), QStringLiteral("1234.0"));
    QCOMPARE(formatValue(workbook, 4, 1234.0).text(), QStringLiteral("1,234.00"));
    // An id nobody defines shows as General.
    QCOMPARE(numberFormatCode(workbook, 30), QStringLiteral("General"));
    QCOMPARE(formatValue(workbook, 14, 45000.0).text(), QStringLiteral("3/15/2023"));
    workbook.date1904 = true;
    QCOMPARE(formatValue(workbook, 14, 45000.0 - 1462).text(), QStringLiteral("3/15/2023"));
}

void TestNumberFormat::regionalForms_data() {
    QTest::addColumn<QString>("locale");  // the regional settings the value is drawn in
    QTest::addColumn<QString>("code");    // a format code, or "#n" for the built-in format n
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    const double march15 = 45000.0;  // Wednesday, 15 March 2023
    const double march5 = 44990.0;   // Sunday, 5 March 2023

    // The separators of numbers are the region's; what the code writes literally stays.
    QTest::newRow("C grouping") << "C"
                                << "#,##0.00" << 1234.5 << "1,234.50";
    QTest::newRow("en_US grouping") << "en_US"
                                    << "#,##0.00" << 1234.5 << "1,234.50";
    QTest::newRow("de_DE grouping") << "de_DE"
                                    << "#,##0.00" << 1234567.5 << "1.234.567,50";
    QTest::newRow("fr_FR grouping") << "fr_FR"
                                    << "#,##0.00" << 1234.5 << "1\u202F234,50";
    QTest::newRow("de_DE built-in 37") << "de_DE"
                                       << "#37" << -1234.6 << "(1.235)";
    QTest::newRow("de_DE built-in 4") << "de_DE"
                                      << "#4" << 0.5 << "0,50";
    QTest::newRow("de_DE General") << "de_DE"
                                   << "#0" << 1234567.891 << "1234567,891";
    QTest::newRow("de_DE General exponent") << "de_DE"
                                            << "General" << 1.5e20 << "1,5E+20";
    QTest::newRow("de_DE percent") << "de_DE"
                                   << "0.00%" << 0.12345 << "12,35%";
    QTest::newRow("de_DE exponent") << "de_DE"
                                    << "0.00E+00" << 12345.0 << "1,23E+04";
    QTest::newRow("de_DE only decimals") << "de_DE"
                                         << ".00" << 12.5 << "12,50";
    QTest::newRow("de_DE scaled") << "de_DE"
                                  << "#,##0.0,\\k" << 1234567.0 << "1.234,6k";
    QTest::newRow("de_DE quoted point") << "de_DE"
                                        << "0\".\"0" << 12.0 << "1.2";
    QTest::newRow("de_DE fraction") << "de_DE"
                                    << "# ?/?" << 1.5 << "1 1/2";
    QTest::newRow("de_DE currency of a locale") << "de_DE"
                                                << "[$€-407] #,##0.00" << 1234.5 << "€ 1.234,50";
    QTest::newRow("fr_FR accounting") << "fr_FR"
                                      << "#43" << -1234.5 << " (1\u202F234,50)";

    // The short date, alone and with the time, in the region's order; a format's own code stays.
    QTest::newRow("C short date") << "C"
                                  << "#14" << march5 << "3/5/2023";
    QTest::newRow("en_US short date") << "en_US"
                                      << "#14" << march5 << "3/5/2023";
    QTest::newRow("en_GB short date") << "en_GB"
                                      << "#14" << march5 << "05/03/2023";
    QTest::newRow("de_DE short date") << "de_DE"
                                      << "#14" << march5 << "05.03.2023";
    QTest::newRow("fr_FR short date") << "fr_FR"
                                      << "#14" << march5 << "05/03/2023";
    QTest::newRow("de_DE date and time") << "de_DE"
                                         << "#22" << march5 + 0.5 << "05.03.2023 12:00";
    QTest::newRow("C date and time") << "C"
                                     << "#22" << march5 + 0.5 << "3/5/2023 12:00";
    QTest::newRow("de_DE own date code") << "de_DE"
                                         << "m/d/yyyy" << march5 << "3/5/2023";
    // The system's long date and time forms.
    QTest::newRow("C system long date")
        << "C"
        << "[$-F800]dddd\\,\\ mmmm\\ dd\\,\\ yyyy" << march5 << "Sunday, March 5, 2023";
    QTest::newRow("en_US system long date")
        << "en_US"
        << "[$-F800]dddd, mmmm dd, yyyy" << march5 << "Sunday, March 5, 2023";
    QTest::newRow("de_DE system long date")
        << "de_DE"
        << "[$-F800]dddd, mmmm dd, yyyy" << march5 << "Sonntag, 5. März 2023";
    QTest::newRow("fr_FR system long date")
        << "fr_FR"
        << "[$-x-sysdate]dddd, mmmm dd, yyyy" << march5 << "dimanche 5 mars 2023";
    QTest::newRow("de_DE system time") << "de_DE"
                                       << "[$-F400]h:mm:ss AM/PM" << 0.75 << "18:00:00";
    QTest::newRow("C system time") << "C"
                                   << "[$-F400]h:mm:ss AM/PM" << 0.75 << "6:00:00 PM";

    // Names in the language a format names, whatever the region; else in the region's language.
    QTest::newRow("French names") << "C"
                                  << "[$-40C]dddd d mmmm yyyy" << march15 << "mercredi 15 mars 2023";
    QTest::newRow("German names") << "en_US"
                                  << "[$-407]dddd, d. mmmm yyyy" << march15 << "Mittwoch, 15. März 2023";
    QTest::newRow("Japanese names") << "C"
                                    << "[$-411]yyyy\"年\"m\"月\"d\"日\" dddd" << march15
                                    << "2023年3月15日 水曜日";
    QTest::newRow("Italian short names") << "C"
                                         << "[$-410]ddd d mmm" << march15 << "mer 15 mar";
    QTest::newRow("Austrian German by its territory") << "C"
                                                      << "[$-C07]mmmm" << 44927.0 << "Jänner";
    QTest::newRow("Russian month with a day") << "C"
                                              << "[$-419]d mmmm" << march15 << "15 марта";
    QTest::newRow("Russian month alone") << "C"
                                         << "[$-419]mmmm yyyy" << march15 << "март 2023";
    QTest::newRow("calendar bits ignored") << "C"
                                           << "[$-1040407]mmmm" << march15 << "März";
    QTest::newRow("English names in Germany") << "de_DE"
                                              << "[$-409]dddd mmmm" << march15 << "Wednesday March";
    QTest::newRow("region's names") << "de_DE"
                                    << "dddd d mmmm" << march15 << "Mittwoch 15 März";
    QTest::newRow("region's first letter") << "fr_FR"
                                           << "mmmmm" << march15 << "m";
    QTest::newRow("unknown language id") << "C"
                                         << "[$-4FF]mmmm" << march15 << "March";
}

void TestNumberFormat::regionalForms() {
    QFETCH(QString, locale);
    QFETCH(QString, code);
    QFETCH(double, value);
    QFETCH(QString, shown);
    const QLocale regional(locale);
    Workbook workbook;
    FormattedText text;
    if (code.startsWith(u'#') && code.size() > 1 && code[1].isDigit()) {
        text = formatValue(workbook, quint16(code.mid(1).toInt()), value, regional);
    } else {
        FormatOptions options;
        options.locale = regional;
        text = NumberFormat(code).format(value, options);
    }
    QCOMPARE(text.text(), shown);
}
