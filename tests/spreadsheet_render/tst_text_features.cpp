// Reading direction, turned and stacked text, shrinking and raised or lowered letters, checked by
// where the ink lands. Every case draws its cell in row 1 and the same text without the feature in
// row 2, so a check can compare the two.

#include "tst_text_features.h"

#include <QTest>

#include "render_helpers.h"
#include "spreadsheet/renderer.h"

using namespace spreadsheet;
using namespace render_test;

Q_DECLARE_METATYPE(spreadsheet::Value)
Q_DECLARE_METATYPE(spreadsheet::HAlign)
Q_DECLARE_METATYPE(spreadsheet::VAlign)

namespace {

constexpr int kRowPixels = 120;
constexpr quint16 kRowTwips = kRowPixels * 15;
const QString kHebrew = QStringLiteral("\u05E9\u05DC\u05D5\u05DD \u05E2\u05D5\u05DC\u05DD");
const QString kArabic = QStringLiteral("\u0645\u0631\u062D\u0628\u0627 \u0628\u0643\u0645");
// Letters that all join their neighbours: shaped, the word is one unbroken stroke.
const QString kJoinedArabic = QStringLiteral("\u0645\u0633\u062A\u062D\u064A\u0644");
// Wide letters first, then dots: the ink shows at which end a turned line starts.
const QString kStartMarked = QStringLiteral("WWW..............");

struct Case {
    Value value;
    int rotation = 0;
    HAlign horizontal = HAlign::General;
    VAlign vertical = VAlign::Bottom;
    bool shrink = false;
    quint16 escapement = 0;
    quint16 numberFormat = 0;
    int widthUnits = 256 * 28;  // 196 pixels
};

int widthOfInk(const QImage& image, const QRect& ink, int top, int bottom) {
    const QRect band = inkBounds(image, QRect(ink.left(), top, ink.width(), bottom - top + 1));
    return band.isNull() ? 0 : band.width();
}

}  // namespace

Q_DECLARE_METATYPE(Case)

void TestTextFeatures::textPlacement_data() {
    QTest::addColumn<Case>("input");
    QTest::addColumn<QString>("expect");

    QTest::newRow("hebrew in general alignment") << Case{kHebrew} << "right";
    QTest::newRow("arabic in general alignment") << Case{kArabic} << "right";
    QTest::newRow("arabic letters join") << Case{kJoinedArabic} << "joined";
    QTest::newRow("hebrew aligned left") << Case{kHebrew, 0, HAlign::Left} << "left";
    QTest::newRow("90 degrees reads upwards") << Case{kStartMarked, 90} << "starts at bottom";
    QTest::newRow("180 turns 90 clockwise")
        << Case{kStartMarked, 180, HAlign::Left, VAlign::Top} << "starts at top";
    QTest::newRow("45 degrees rises") << Case{kStartMarked, 45} << "rising diagonal";
    QTest::newRow("135 turns 45 clockwise") << Case{kStartMarked, 135} << "falling diagonal";
    QTest::newRow("upright number keeps right alignment")
        << Case{1234.5, 90, HAlign::General, VAlign::Center} << "upright at right";
    QTest::newRow("stacked letters centred")
        << Case{QStringLiteral("WIWI"), 255, HAlign::Center, VAlign::Center} << "stacked in middle";
    QTest::newRow("shrink keeps text in its cell")
        << Case{QStringLiteral("a long label that must shrink to fit inside its own cell"), 0,
                HAlign::General, VAlign::Bottom, true}
        << "shrunk text";
    QTest::newRow("shrink shows a number instead of #")
        << Case{123456789.0, 0, HAlign::General, VAlign::Bottom, true, 0, 3, 256 * 8} << "shrunk number";
    QTest::newRow("superscript") << Case{QStringLiteral("Mm"), 0, HAlign::Left, VAlign::Center, false, 1}
                                 << "raised";
    QTest::newRow("subscript") << Case{QStringLiteral("Mm"), 0, HAlign::Left, VAlign::Center, false, 2}
                               << "lowered";
}

void TestTextFeatures::textPlacement() {
    QFETCH(Case, input);
    QFETCH(QString, expect);

    Workbook workbook = sheetBook();
    Worksheet& sheet = workbook.sheets[0];
    setWidth(sheet, 0, quint16(input.widthUnits));
    setHeight(sheet, 0, kRowTwips);
    setHeight(sheet, 1, kRowTwips);
    Font font;
    font.escapement = input.escapement;
    const quint16 fontIndex = workbook.addFont(font);
    const quint16 xf = formatWith(workbook, [&](CellFormat& f) {
        f.fontIndex = fontIndex;
        f.rotation = quint8(input.rotation);
        f.hAlign = input.horizontal;
        f.vAlign = input.vertical;
        f.shrinkToFit = input.shrink;
        f.numberFormat = input.numberFormat;
    });
    const quint16 plain = formatWith(workbook, [&](CellFormat& f) {
        f.hAlign = input.horizontal;
        f.vAlign = input.vertical;
        f.numberFormat = input.numberFormat;
    });
    put(workbook, {0, 0}, input.value, xf);
    put(workbook, {1, 0}, input.value, plain);

    const QImage image = renderRange(workbook, 0, {{0, 0}, {1, 1}});
    const int cellWidth = image.width() - 64;
    const QRect ink = inkBounds(image, QRect(0, 0, image.width(), kRowPixels));
    const QRect reference =
        inkBounds(image, QRect(0, kRowPixels, image.width(), kRowPixels)).translated(0, -kRowPixels);
    QVERIFY(!ink.isNull());
    QVERIFY(!reference.isNull());
    const auto text = [](const QRect& r) {
        return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    };
    const QByteArray where = text(ink).toUtf8();

    if (expect == u"right") {
        QVERIFY2(ink.right() >= cellWidth - 8 && ink.right() < cellWidth - 1, where);
        QVERIFY2(ink.left() > cellWidth / 3, where);
    } else if (expect == u"joined") {
        int gaps = 0;
        for (int x = ink.left(); x <= ink.right(); ++x)
            gaps += !columnHasInk(image, x, ink.top(), ink.bottom());
        QVERIFY2(gaps == 0, qPrintable(QStringLiteral("%1 blank columns in %2").arg(gaps).arg(text(ink))));
    } else if (expect == u"left") {
        QVERIFY2(ink.left() <= 5, where);
    } else if (expect == u"starts at bottom" || expect == u"starts at top") {
        // A line read upwards starts with its wide letters at the bottom; downwards, at the top.
        QVERIFY2(ink.height() > 4 * ink.width(), where);
        const int top = widthOfInk(image, ink, ink.top(), ink.top() + 20);
        const int bottom = widthOfInk(image, ink, ink.bottom() - 20, ink.bottom());
        if (expect == u"starts at bottom") {
            QVERIFY2(bottom > 2 * top, where);
            QVERIFY2(ink.bottom() >= kRowPixels - 8, where);
        } else {
            QVERIFY2(top > 2 * bottom, where);
            QVERIFY2(ink.top() <= 8, where);
        }
        QVERIFY2(ink.left() <= 8, where);
    } else if (expect == u"rising diagonal" || expect == u"falling diagonal") {
        QVERIFY2(ink.width() > ink.height() / 2 && ink.height() > ink.width() / 2, where);
        const QPoint centre = ink.center();
        const int upperLeft = inkCount(image, QRect(ink.topLeft(), centre));
        const int lowerRight = inkCount(image, QRect(centre, ink.bottomRight()));
        const int lowerLeft =
            inkCount(image, QRect(QPoint(ink.left(), centre.y()), QPoint(centre.x(), ink.bottom())));
        const int upperRight =
            inkCount(image, QRect(QPoint(centre.x(), ink.top()), QPoint(ink.right(), centre.y())));
        const int along = expect == u"rising diagonal" ? lowerLeft + upperRight : upperLeft + lowerRight;
        const int across = expect == u"rising diagonal" ? upperLeft + lowerRight : lowerLeft + upperRight;
        QVERIFY2(along > 3 * across, where);
        // The wide letters, where the line starts, lie at the left.
        QVERIFY2((expect == u"rising diagonal" ? lowerLeft : upperLeft) > upperRight + lowerRight, where);
    } else if (expect == u"upright at right") {
        QVERIFY2(ink.height() > 2 * ink.width(), where);
        QVERIFY2(ink.right() >= cellWidth - 10, where);
        QVERIFY2(std::abs(ink.center().y() - kRowPixels / 2) <= 3, where);
    } else if (expect == u"stacked in middle") {
        QVERIFY2(ink.height() > 3 * ink.width(), where);
        QVERIFY2(ink.width() < 16, where);
        QVERIFY2(std::abs(ink.center().x() - cellWidth / 2) <= 3, where);
        QVERIFY2(std::abs(ink.center().y() - kRowPixels / 2) <= 4, where);
    } else if (expect == u"shrunk text") {
        // Unshrunk, the text runs on into the empty column B; shrunk, it fits its own cell.
        QVERIFY2(reference.right() > cellWidth, qPrintable(text(reference)));
        QVERIFY2(ink.right() < cellWidth - 1 && ink.left() <= 5, where);
        QVERIFY2(ink.height() < reference.height(), where);
    } else if (expect == u"shrunk number") {
        // Unshrunk, "123,456,789" does not fit and shows "#"s; shrunk, its digits are smaller.
        QVERIFY2(ink.right() < cellWidth - 1, where);
        QVERIFY2(ink.width() > cellWidth * 2 / 3, where);
        QVERIFY2(ink.height() + 2 <= reference.height(), where);
        QVERIFY(image.copy(0, 0, cellWidth, kRowPixels) != image.copy(0, kRowPixels, cellWidth, kRowPixels));
    } else if (expect == u"raised" || expect == u"lowered") {
        QVERIFY2(ink.height() < reference.height(), where);
        if (expect == u"raised") {
            QVERIFY2(ink.bottom() <= reference.bottom() - 3, where);
        } else {
            QVERIFY2(ink.bottom() >= reference.bottom() + 1, where);
            QVERIFY2(ink.top() >= reference.top() + 3, where);
        }
    } else {
        QFAIL("unknown expectation");
    }
}
