#include "tst_renderer.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTest>
#include <functional>

#include "render_helpers.h"
#include "spreadsheet/error.h"
#include "spreadsheet/render/metrics.h"
#include "spreadsheet/renderer.h"

using namespace spreadsheet;

Q_DECLARE_METATYPE(spreadsheet::Value)
Q_DECLARE_METATYPE(spreadsheet::HAlign)
Q_DECLARE_METATYPE(spreadsheet::VAlign)

using namespace render_test;

namespace {

constexpr QRgb kGrid = 0xFFD0D7E5;

}  // namespace

void TestRenderer::columnWidthsFromDigitWidth() {
    Workbook workbook = sheetBook();
    QCOMPARE(maximumDigitWidth(workbook), 7);  // Arial 10, drawn with its metric twin
    QCOMPARE(columnPixelsFromUnits(2340, 7), 64);
    QCOMPARE(columnPixelsFromUnits(10496, 7), 287);
    QCOMPARE(columnPixelsFromUnits(4973, 7), 136);
    QCOMPARE(columnPixelsFromUnits(2048, 7), 56);
    QCOMPARE(columnPixelsFromUnits(4973, 8), 155);

    Worksheet& sheet = workbook.sheets[0];
    QCOMPARE(columnWidthPixels(sheet, 3, 7), 64);  // 8 characters: 61 px, up to a multiple of 8
    sheet.defaultColumnWidth = 10;
    QCOMPARE(columnWidthPixels(sheet, 3, 7), 80);
    setWidth(sheet, 2, 2340);
    sheet.columns.back().hidden = true;
    QCOMPARE(columnWidthPixels(sheet, 2, 7), 0);

    setHeight(sheet, 0, 390);
    setHeight(sheet, 1, 282);
    QCOMPARE(rowHeightPixels(sheet, 0), 26);
    QCOMPARE(rowHeightPixels(sheet, 1), 19);
    QCOMPARE(rowHeightPixels(sheet, 2), 17);
    sheet.rows[1].hidden = true;
    QCOMPARE(rowHeightPixels(sheet, 1), 0);

    // The Normal style's font sets the digit width for the whole sheet.
    workbook.fonts[0].name = QStringLiteral("Verdana");
    const int verdana = maximumDigitWidth(workbook);
    QVERIFY2(verdana == 8, qPrintable(QString::number(verdana)));
}

void TestRenderer::imageIsExactlyTheRange() {
    Workbook workbook = sheetBook();
    Worksheet& sheet = workbook.sheets[0];
    setWidth(sheet, 0, 10496);
    setWidth(sheet, 1, 4973);
    setHeight(sheet, 0, 390);
    setHeight(sheet, 3, 282);
    put(workbook, {0, 0}, QStringLiteral("title"));

    QCOMPARE(renderRange(workbook, 0, {{0, 0}, {3, 1}}).size(), QSize(287 + 136, 26 + 17 + 17 + 19));
    QCOMPARE(renderRange(workbook, 0, {{1, 1}, {3, 2}}).size(), QSize(136 + 64, 17 + 17 + 19));
    sheet.rows[2].hidden = true;
    QCOMPARE(renderRange(workbook, 0, {{0, 0}, {3, 1}}).height(), 26 + 17 + 19);
}

void TestRenderer::hairBorderAtRightEdge() {
    Workbook workbook = sheetBook();
    const quint16 xf = formatWith(workbook, [](CellFormat& f) { f.right = {LineStyle::Hair, kGrey}; });
    for (int row = 0; row < 3; ++row)
        put(workbook, {row, 0}, Value{}, xf);

    // The range's last pixel column is the cell's right edge: one pixel wide, every other pixel grey.
    const QImage image = renderRange(workbook, 0, {{0, 0}, {2, 0}});
    QCOMPARE(image.size(), QSize(64, 51));
    for (int y = 0; y + 1 < image.height(); ++y) {
        const QRgb a = image.pixel(63, y);
        const QRgb b = image.pixel(63, y + 1);
        QVERIFY2(a != b, qPrintable(QStringLiteral("row %1").arg(y)));
        QVERIFY(a == 0xFF808080 || b == 0xFF808080);
        QVERIFY(a == kWhite || b == kWhite);
        QCOMPARE(image.pixel(62, y), kWhite);
    }

    // Inside a wider range the same line sits on the grid line between A and B.
    const QImage wider = renderRange(workbook, 0, {{0, 0}, {2, 1}});
    QVERIFY(wider.pixel(63, 0) == 0xFF808080 || wider.pixel(63, 1) == 0xFF808080);
    for (int y = 0; y < wider.height(); ++y)
        QCOMPARE(wider.pixel(64, y), kWhite);
}

void TestRenderer::sharedEdgeDrawsStrongerStyleOnce() {
    Workbook workbook = sheetBook();
    const quint16 thinRight = formatWith(workbook, [](CellFormat& f) {
        f.right = {LineStyle::Thin, kColorWindowText};
    });
    const quint16 hairLeft = formatWith(workbook, [](CellFormat& f) { f.left = {LineStyle::Hair, kGrey}; });
    const quint16 hairRight = formatWith(workbook, [](CellFormat& f) { f.right = {LineStyle::Hair, kGrey}; });
    const quint16 mediumLeft = formatWith(workbook, [](CellFormat& f) {
        f.left = {LineStyle::Medium, kRed};
    });
    put(workbook, {0, 0}, Value{}, thinRight);
    put(workbook, {0, 1}, Value{}, hairLeft);
    put(workbook, {1, 0}, Value{}, hairRight);
    put(workbook, {1, 1}, Value{}, mediumLeft);

    const QImage image = renderRange(workbook, 0, {{0, 0}, {1, 1}});
    // Row 1: the thin black line wins over the hair line; solid, one pixel.
    for (int y = 0; y < 16; ++y) {
        QCOMPARE(image.pixel(63, y), 0xFF000000);
        QCOMPARE(image.pixel(62, y), kWhite);
        QCOMPARE(image.pixel(64, y), kWhite);
    }
    // Row 2: the medium red line wins: two pixels, ending on the grid line.
    for (int y = 18; y < 33; ++y) {
        QCOMPARE(image.pixel(62, y), 0xFFFF0000);
        QCOMPARE(image.pixel(63, y), 0xFFFF0000);
        QCOMPARE(image.pixel(61, y), kWhite);
        QCOMPARE(image.pixel(64, y), kWhite);
    }
}

void TestRenderer::thickAndDoubleLines() {
    Workbook workbook = sheetBook();
    const quint16 doubleBelow = formatWith(workbook, [](CellFormat& f) {
        f.bottom = {LineStyle::Double, kGrey};
    });
    const quint16 thickBelow = formatWith(workbook, [](CellFormat& f) {
        f.bottom = {LineStyle::Thick, kRed};
    });
    const quint16 dashedBelow = formatWith(workbook, [](CellFormat& f) {
        f.bottom = {LineStyle::Dashed, kRed};
    });
    put(workbook, {0, 0}, Value{}, doubleBelow);
    put(workbook, {1, 0}, Value{}, thickBelow);
    put(workbook, {2, 0}, Value{}, dashedBelow);

    const QImage image = renderRange(workbook, 0, {{0, 0}, {3, 0}});
    // Double: two lines with a blank grid line between them.
    QCOMPARE(image.pixel(30, 15), 0xFF808080);
    QCOMPARE(image.pixel(30, 16), kWhite);
    QCOMPARE(image.pixel(30, 17), 0xFF808080);
    QCOMPARE(image.pixel(30, 14), kWhite);
    QCOMPARE(image.pixel(30, 18), kWhite);
    // Thick: three pixels centred on the grid line at y = 33.
    for (int y = 32; y <= 34; ++y)
        QCOMPARE(image.pixel(30, y), 0xFFFF0000);
    QCOMPARE(image.pixel(30, 31), kWhite);
    QCOMPARE(image.pixel(30, 35), kWhite);
    // Dashed: one pixel high, broken along its length.
    int on = 0;
    for (int x = 0; x < 64; ++x)
        on += image.pixel(x, 50) == 0xFFFF0000;
    QVERIFY(on > 32 && on < 64);
    QCOMPARE(image.pixel(30, 49), kWhite);
}

void TestRenderer::accountingAmountPinsCurrencyLeft() {
    Workbook workbook = sheetBook();
    setWidth(workbook.sheets[0], 1, 4973);
    const quint16 verdana8 = fontWith(workbook, QStringLiteral("Verdana"), 8);
    const quint16 xf = formatWith(workbook, [&](CellFormat& f) {
        f.fontIndex = verdana8;
        f.numberFormat = 42;
    });
    put(workbook, {0, 1}, 1500.0, xf);
    put(workbook, {1, 1}, 1500000.0, xf);
    put(workbook, {2, 1}, -1500.0, xf);

    const QImage image = renderRange(workbook, 0, {{0, 1}, {2, 1}});
    QCOMPARE(image.width(), 136);
    const QRect small = inkBounds(image, QRect(0, 0, 136, 16));
    const QRect large = inkBounds(image, QRect(0, 17, 136, 16));
    const QRect negative = inkBounds(image, QRect(0, 34, 136, 16));
    QVERIFY(!small.isNull() && !large.isNull() && !negative.isNull());

    // "$" at the left, after the padding and the blank as wide as "(".
    QVERIFY2(small.left() >= 4 && small.left() <= 10, qPrintable(QString::number(small.left())));
    QCOMPARE(large.left(), small.left());
    // Digits at the right, leaving room for ")"; the negative amount's ")" fills that room.
    QVERIFY2(small.right() >= 120 && small.right() <= 131, qPrintable(QString::number(small.right())));
    QCOMPARE(large.right(), small.right());
    QVERIFY(negative.right() > small.right());
    QVERIFY(negative.right() <= 133);

    // Between the "$" and "1,500" lies the fill: a wide blank.
    int blank = 0;
    int longest = 0;
    for (int x = small.left(); x <= small.right(); ++x) {
        blank = columnHasInk(image, x, 0, 15) ? 0 : blank + 1;
        longest = std::max(longest, blank);
    }
    QVERIFY2(longest > 60, qPrintable(QString::number(longest)));
}

void TestRenderer::mergedTitleSpansTwoColumns() {
    Workbook workbook = sheetBook(true);
    const quint16 centred = formatWith(workbook, [](CellFormat& f) { f.hAlign = HAlign::Center; });
    put(workbook, {0, 0}, QStringLiteral("XX"), centred);
    put(workbook, {0, 1}, QStringLiteral("covered text"));
    workbook.sheets[0].mergedRanges.push_back({{0, 0}, {0, 1}});

    const QImage image = renderRange(workbook, 0, {{0, 0}, {1, 2}});
    const QRect ink = inkBounds(image, QRect(0, 0, 192, 16));
    QVERIFY(!ink.isNull());
    // Centred on A:B together, not on A; the covered cell's text is not drawn.
    const double centre = (ink.left() + ink.right()) / 2.0;
    QVERIFY2(std::abs(centre - 63.5) <= 2, qPrintable(QString::number(centre)));
    QVERIFY(ink.width() < 30);
    // No grid line inside the merged area, but between B1 and C1 and below.
    for (int y = 0; y < 16; ++y)
        QVERIFY(image.pixel(63, y) != kGrid);
    QCOMPARE(image.pixel(127, 5), kGrid);
    QCOMPARE(image.pixel(63, 25), kGrid);
    QCOMPARE(image.pixel(100, 16), kGrid);
}

void TestRenderer::wrappedTextTakesTwoLines() {
    Workbook workbook = sheetBook();
    setHeight(workbook.sheets[0], 0, 600);
    const quint16 wrap = formatWith(workbook, [](CellFormat& f) {
        f.wrap = true;
        f.vAlign = VAlign::Top;
    });
    put(workbook, {0, 0}, QStringLiteral("alpha gamma"), wrap);
    put(workbook, {1, 0}, QStringLiteral("alpha gamma"));

    const QImage image = renderRange(workbook, 0, {{0, 0}, {1, 1}});
    // Two lines, one above the other, inside column A although B is empty.
    QCOMPARE(inkBands(image, QRect(0, 0, 128, 40)), 2);
    QVERIFY(inkBounds(image, QRect(0, 0, 128, 40)).right() < 63);
    // The same text without wrapping is one line running on into B.
    QCOMPARE(inkBands(image, QRect(0, 40, 128, 17)), 1);
    QVERIFY(inkBounds(image, QRect(0, 40, 128, 17)).right() > 64);
}

void TestRenderer::textOverflowsOnlyIntoEmptyNeighbours() {
    Workbook workbook = sheetBook(true);
    const QString text = QStringLiteral("a long label running on");
    const quint16 right = formatWith(workbook, [](CellFormat& f) { f.hAlign = HAlign::Right; });
    put(workbook, {0, 0}, text);
    put(workbook, {1, 0}, text);
    put(workbook, {1, 1}, QStringLiteral("x"));
    put(workbook, {2, 2}, text, right);

    const QImage image = renderRange(workbook, 0, {{0, 0}, {2, 2}});
    // Row 1: into B1, and B1's grid line on the left is gone.
    QVERIFY(inkBounds(image, QRect(64, 0, 64, 16)).width() > 30);
    QVERIFY(image.pixel(63, 2) != kGrid && image.pixel(63, 14) != kGrid);
    // Row 2: B2 holds a value, so A2's text stops at A's edge; B2 shows only its "x".
    const QRect intoB = inkBounds(image, QRect(64, 17, 64, 16));
    QVERIFY(!intoB.isNull());
    QVERIFY2(intoB.width() < 10, qPrintable(QString::number(intoB.width())));
    QCOMPARE(image.pixel(63, 20), kGrid);
    // Row 3: right-aligned text runs to the left, into B3.
    QVERIFY(inkBounds(image, QRect(64, 34, 64, 16)).width() > 30);
}

void TestRenderer::numbersNeverOverflow() {
    Workbook workbook = sheetBook();
    const quint16 grouped = formatWith(workbook, [](CellFormat& f) { f.numberFormat = 3; });
    const auto rightText = [](Workbook& book) {
        return formatWith(book, [](CellFormat& f) { f.hAlign = HAlign::Right; });
    };
    put(workbook, {0, 0}, 123456789.0, grouped);  // "123,456,789" is wider than 64 px
    put(workbook, {1, 0}, 1234.567891234);        // General gives up decimals instead

    const QImage image = renderRange(workbook, 0, {{0, 0}, {1, 1}});
    QVERIFY(inkBounds(image, QRect(63, 0, 65, 34)).isNull());
    QVERIFY(!inkBounds(image, QRect(0, 17, 63, 16)).isNull());

    // The number shows as a row of "#" as wide as the cell allows: the same picture as that text.
    const QFontMetricsF metrics(screenFont(Font{}));
    const int hashes = int((64 - 1 - 4) / metrics.horizontalAdvance(u'#'));
    Workbook expected = sheetBook();
    put(expected, {0, 0}, QString(hashes, u'#'), rightText(expected));
    QCOMPARE(image.copy(0, 0, 64, 17), renderRange(expected, 0, {{0, 0}, {0, 0}}));

    Workbook rounded = sheetBook();
    put(rounded, {1, 0}, QStringLiteral("1234.568"), rightText(rounded));
    QCOMPARE(image.copy(0, 17, 64, 17), renderRange(rounded, 0, {{1, 0}, {1, 0}}));
}

void TestRenderer::gridlinesFollowTheSheet() {
    Workbook workbook = sheetBook(false);
    put(workbook, {0, 0}, QStringLiteral("a"));
    const CellRange range{{0, 0}, {2, 2}};
    const QImage hidden = renderRange(workbook, 0, range);
    QVERIFY(inkBounds(hidden, hidden.rect()).width() < 10);
    for (int y = 17; y < hidden.height(); ++y)
        for (int x = 0; x < hidden.width(); ++x)
            QCOMPARE(hidden.pixel(x, y), kWhite);

    workbook.sheets[0].window.showGridlines = true;
    const QImage shown = renderRange(workbook, 0, range);
    QCOMPARE(shown.pixel(63, 25), kGrid);
    QCOMPARE(shown.pixel(127, 40), kGrid);
    QCOMPARE(shown.pixel(10, 16), kGrid);
    QCOMPARE(shown.pixel(191, 50), kGrid);  // the range's own right and bottom edges
    QCOMPARE(shown.pixel(10, 17), kWhite);

    workbook.sheets[0].window.defaultGridColor = false;
    workbook.sheets[0].window.gridColorIndex = kRed;
    QCOMPARE(renderRange(workbook, 0, range).pixel(63, 25), 0xFFFF0000);
}

void TestRenderer::solidFillInPaletteColour() {
    Workbook workbook = sheetBook(true);
    workbook.palette[0] = qRgb(0xEA, 0xEA, 0xEA);  // colour index 8, as the statement uses it
    const quint16 shaded = formatWith(workbook, [](CellFormat& f) {
        f.fillPattern = 1;
        f.fillForeground = 8;
    });
    const quint16 checked = formatWith(workbook, [](CellFormat& f) {
        f.fillPattern = 2;
        f.fillForeground = kRed;
        f.fillBackground = 9;
    });
    put(workbook, {1, 1}, Value{}, shaded);
    put(workbook, {2, 2}, Value{}, checked);

    const QImage image = renderRange(workbook, 0, {{0, 0}, {2, 2}});
    QCOMPARE(image.pixel(90, 25), 0xFFEAEAEA);
    // The fill covers the grid lines around its cell.
    QCOMPARE(image.pixel(63, 25), 0xFFEAEAEA);
    QCOMPARE(image.pixel(127, 25), 0xFFEAEAEA);
    QCOMPARE(image.pixel(90, 16), 0xFFEAEAEA);
    QCOMPARE(image.pixel(30, 25), kWhite);
    // A 50 % pattern alternates its two colours.
    QCOMPARE(image.pixel(150, 40), 0xFFFF0000);
    QCOMPARE(image.pixel(151, 40), kWhite);
    QCOMPARE(image.pixel(150, 41), kWhite);
}

void TestRenderer::fontStylesAndColours() {
    Workbook workbook = sheetBook();
    setWidth(workbook.sheets[0], 0, 256 * 28);  // 196 px
    auto styled = [&](const std::function<void(Font&)>& change) {
        Font font;
        change(font);
        const quint16 index = workbook.addFont(font);
        return formatWith(workbook, [&](CellFormat& f) { f.fontIndex = index; });
    };
    const QString text = QStringLiteral("Mm");
    put(workbook, {0, 0}, text);
    put(workbook, {1, 0}, text, styled([](Font& f) { f.underline = 1; }));
    put(workbook, {2, 0}, text, styled([](Font& f) { f.underline = 0x21; }));
    put(workbook, {3, 0}, text, styled([](Font& f) { f.colorIndex = kRed; }));
    put(workbook, {4, 0}, text, styled([](Font& f) { f.underline = 2; }));
    const QImage image = renderRange(workbook, 0, {{0, 0}, {4, 0}});

    auto row = [](int index) { return QRect(0, index * 17, 196, 16); };
    const QRect plain = inkBounds(image, row(0));
    const QRect single = inkBounds(image, row(1));
    const QRect accounting = inkBounds(image, row(2));
    const QRect twice = inkBounds(image, row(4));
    // An underline reaches below the letters; an accounting underline spans the cell, not the text.
    QVERIFY(single.bottom() - 17 > plain.bottom());
    QVERIFY(single.width() <= plain.width() + 3);
    QVERIFY(accounting.bottom() - 34 > plain.bottom());
    QVERIFY2(accounting.width() > 180, qPrintable(QString::number(accounting.width())));
    QVERIFY(twice.bottom() - 68 > single.bottom() - 17);
    // The palette colour of the font.
    bool red = false;
    for (int y = 51; y < 68 && !red; ++y)
        for (int x = 0; x < 40 && !red; ++x)
            red = image.pixel(x, y) == 0xFFFF0000;
    QVERIFY(red);
    for (int y = 51; y < 68; ++y)
        for (int x = 0; x < 196; ++x)
            QVERIFY(qRed(image.pixel(x, y)) > 200);  // nothing drawn in black
}

void TestRenderer::alignmentsPlaceText_data() {
    QTest::addColumn<HAlign>("horizontal");
    QTest::addColumn<VAlign>("vertical");
    QTest::addColumn<int>("indent");
    QTest::addColumn<Value>("value");
    QTest::addColumn<QString>("across");
    QTest::addColumn<QString>("down");

    const Value text(QStringLiteral("Mm"));
    QTest::newRow("general text left") << HAlign::General << VAlign::Bottom << 0 << text << "left"
                                       << "bottom";
    QTest::newRow("general number right") << HAlign::General << VAlign::Bottom << 0 << Value(42.0) << "right"
                                          << "bottom";
    QTest::newRow("general boolean centred") << HAlign::General << VAlign::Top << 0 << Value(true) << "centre"
                                             << "top";
    QTest::newRow("general error centred")
        << HAlign::General << VAlign::Center << 0 << Value(ErrorCode::NA) << "centre"
        << "middle";
    QTest::newRow("left number") << HAlign::Left << VAlign::Center << 0 << Value(42.0) << "left"
                                 << "middle";
    QTest::newRow("right text") << HAlign::Right << VAlign::Top << 0 << text << "right"
                                << "top";
    QTest::newRow("centre text") << HAlign::Center << VAlign::Bottom << 0 << text << "centre"
                                 << "bottom";
    QTest::newRow("indented text") << HAlign::Left << VAlign::Bottom << 2 << text << "indented"
                                   << "bottom";
}

void TestRenderer::alignmentsPlaceText() {
    QFETCH(HAlign, horizontal);
    QFETCH(VAlign, vertical);
    QFETCH(int, indent);
    QFETCH(Value, value);
    QFETCH(QString, across);
    QFETCH(QString, down);

    Workbook workbook = sheetBook();
    setWidth(workbook.sheets[0], 0, 256 * 28);  // 196 px
    setHeight(workbook.sheets[0], 0, 900);      // 60 px
    const quint16 xf = formatWith(workbook, [&](CellFormat& f) {
        f.hAlign = horizontal;
        f.vAlign = vertical;
        f.indent = quint8(indent);
    });
    put(workbook, {0, 0}, value, xf);
    const QImage image = renderRange(workbook, 0, {{0, 0}, {0, 0}});
    QCOMPARE(image.size(), QSize(196, 60));
    const QRect ink = inkBounds(image, image.rect());
    QVERIFY(!ink.isNull());

    const double centreX = (ink.left() + ink.right()) / 2.0;
    if (across == u"left")
        QVERIFY2(ink.left() <= 5, qPrintable(QString::number(ink.left())));
    if (across == u"right")
        QVERIFY2(ink.right() >= 188 && ink.right() <= 193, qPrintable(QString::number(ink.right())));
    if (across == u"centre")
        QVERIFY2(std::abs(centreX - 97.5) <= 2, qPrintable(QString::number(centreX)));
    if (across == u"indented")
        QVERIFY2(ink.left() >= 18 && ink.left() <= 24, qPrintable(QString::number(ink.left())));

    const double centreY = (ink.top() + ink.bottom()) / 2.0;
    if (down == u"top")
        QVERIFY2(ink.top() <= 5, qPrintable(QString::number(ink.top())));
    if (down == u"bottom")
        QVERIFY2(ink.bottom() >= 52, qPrintable(QString::number(ink.bottom())));
    if (down == u"middle")
        QVERIFY2(std::abs(centreY - 29.5) <= 3, qPrintable(QString::number(centreY)));
}

void TestRenderer::renderingIsDeterministic() {
    Workbook workbook = sheetBook(true);
    const quint16 bold = fontWith(workbook, QStringLiteral("Verdana"), 14, true);
    const quint16 xf = formatWith(workbook, [&](CellFormat& f) {
        f.fontIndex = bold;
        f.bottom = {LineStyle::DashDot, kGrey};
        f.numberFormat = 44;
    });
    put(workbook, {0, 0}, QStringLiteral("Title"), xf);
    put(workbook, {1, 1}, -1234.5, xf);
    const QImage first = renderRange(workbook, 0, {{0, 0}, {2, 2}});
    const Workbook copy = workbook;
    QCOMPARE(renderRange(copy, 0, {{0, 0}, {2, 2}}), first);
}

void TestRenderer::screenPictureScalesExactly() {
    // Without text, a screen picture drawn at twice the size is the 100 % picture with every pixel
    // doubled: rules and fills cover whole pixels at any scale.
    Workbook workbook = sheetBook(true);
    workbook.palette[0] = qRgb(0xEA, 0xEA, 0xEA);
    const quint16 boxed = formatWith(workbook, [](CellFormat& f) {
        f.left = {LineStyle::Hair, kGrey};
        f.top = {LineStyle::Double, kGrey};
        f.right = {LineStyle::DashDot, kRed};
        f.bottom = {LineStyle::Thick, kColorWindowText};
        f.fillPattern = 1;
        f.fillForeground = 8;
    });
    const quint16 patterned = formatWith(workbook, [](CellFormat& f) {
        f.fillPattern = 9;
        f.fillForeground = kRed;
        f.bottom = {LineStyle::MediumDashDotDot, kGrey};
    });
    put(workbook, {1, 1}, Value{}, boxed);
    put(workbook, {2, 2}, Value{}, patterned);
    const CellRange range{{0, 0}, {3, 3}};
    const QImage single = renderRange(workbook, 0, range);

    QImage twice(single.size() * 2, QImage::Format_RGB32);
    twice.fill(Qt::white);
    QPainter painter(&twice);
    painter.scale(2, 2);
    paintRange(painter, workbook, 0, range);
    painter.end();
    QCOMPARE(twice, single.scaled(single.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation));
}

void TestRenderer::badArgumentsThrow() {
    const Workbook workbook = sheetBook();
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, renderRange(workbook, 1, {{0, 0}, {0, 0}}));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, renderRange(workbook, -1, {{0, 0}, {0, 0}}));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, renderRange(workbook, 0, {{3, 0}, {1, 0}}));
    QVERIFY_THROWS_EXCEPTION(SpreadsheetError, renderRange(workbook, 0, {{0, 0}, {kMaxRows, 0}}));
}
