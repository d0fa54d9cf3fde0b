#include "tst_image_view.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include "preview/image_view_model.h"
#include "preview/view_units.h"
#include "shell/core/error_report.h"

using preview::ImageViewModel;

namespace {

QStringList g_messages;

// A picture with distinct content everywhere, so a scaled or shifted copy cannot pass for the original.
QImage patternImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x * 7 + y * 13) % 256));
    return image;
}

// The first display's statements, run one after another as the window's activation does.
void runFirstDisplay(ImageViewModel& view) {
    view.firstDisplay(
        [](ImageViewModel::FirstDisplayStep, const std::function<void()>& statement) { statement(); });
}

// Hands a picture of the given pixel size over and runs the first display, as the window does.
void showPicture(ImageViewModel& view, int widthPx, int heightPx) {
    view.assignPicture(patternImage(widthPx, heightPx));
    runFirstDisplay(view);
}

}  // namespace

void TestImageView::init() {
    g_messages.clear();
    shell::setErrorReporter([](const shell::ErrorReport& report) { g_messages << report.text(); });
}

void TestImageView::cleanup() {
    shell::setErrorReporter({});
}

void TestImageView::nearestTiesToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("0.5") << 0.5 << 0;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("10.5") << 10.5 << 10;
    QTest::newRow("11.5") << 11.5 << 12;
    QTest::newRow("-0.5") << -0.5 << 0;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("-3.5") << -3.5 << -4;
    QTest::newRow("below tie") << 2.4999 << 2;
    QTest::newRow("above tie") << 2.5001 << 3;
    QTest::newRow("saturates") << 1e12 << std::numeric_limits<int>::max();
}

void TestImageView::nearestTiesToEven() {
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(preview::nearest(value), expected);
}

void TestImageView::scrollStepFollowsOverflow_data() {
    QTest::addColumn<int>("overflow");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("maximum");
    QTest::newRow("1 twip") << 1 << 1 << 1;
    QTest::newRow("100 twips") << 100 << 1 << 100;
    QTest::newRow("101 twips") << 101 << 10 << 10;
    QTest::newRow("105 twips, tie down") << 105 << 10 << 10;
    QTest::newRow("115 twips, tie up") << 115 << 10 << 12;
    QTest::newRow("2674 twips") << 2674 << 10 << 267;
}

void TestImageView::scrollStepFollowsOverflow() {
    QFETCH(int, overflow);
    QFETCH(int, step);
    QFETCH(int, maximum);
    ImageViewModel view;
    // Both axes at once: the vertical rule is the same with heights.
    view.setPictureSize(view.viewport().outerWidth + overflow, view.viewport().outerHeight + overflow);
    view.movePicture(-40, -40);
    view.InitScrollbars();
    QCOMPARE(view.pictureLeft(), 0.0);
    QCOMPARE(view.pictureTop(), 0.0);
    for (auto [bar, barStep] :
         {std::pair{&view.hScroll(), view.hStep()}, std::pair{&view.vScroll(), view.vStep()}}) {
        QVERIFY(bar->isEnabled());
        QCOMPARE(barStep, step);
        QCOMPARE(bar->maximum(), maximum);
        QCOMPARE(bar->value(), 0);
    }
    // The bar's full travel reaches the overflow to within one step.
    view.hScroll().setValue(maximum);
    QVERIFY(std::abs(-view.pictureLeft() - overflow) <= step / 2.0);
}

void TestImageView::pictureNotWiderKeepsBarRange() {
    ImageViewModel view;
    view.setPictureSize(view.viewport().outerWidth + 500, view.viewport().outerHeight + 500);
    view.InitScrollbars();
    view.hScroll().setValue(20);
    // A new, exactly fitting picture on the horizontal axis and a smaller one on the vertical.
    view.setPictureSize(view.viewport().outerWidth, view.viewport().outerHeight - 1000);
    view.InitScrollbars();
    QVERIFY(!view.hScroll().isEnabled());
    QVERIFY(!view.vScroll().isEnabled());
    QCOMPARE(view.hStep(), 0);
    QCOMPARE(view.vStep(), 0);
    QCOMPARE(view.hScroll().maximum(), 50);
    QCOMPARE(view.hScroll().value(), 20);
}

void TestImageView::firstDisplayCopiesPictureUnscaled() {
    ImageViewModel view;
    const QImage original = patternImage(700, 300);
    view.assignPicture(original);
    QCOMPARE(view.pictureWidth(), 700 * 15);
    runFirstDisplay(view);

    QCOMPARE(view.zoom(), 1.0f);
    QCOMPARE(view.baseWidth(), 700 * 15 - 2);
    QCOMPARE(view.baseHeight(), 300 * 15 - 2);
    QCOMPARE(view.zoomWidth(), view.baseWidth());
    QCOMPARE(view.pictureWidth(), view.baseWidth());
    QCOMPARE(view.referencePicture(), original);
    // At factor 1 the repaint is a pixel-for-pixel copy, not a blurred resample.
    QCOMPARE(view.picture().convertToFormat(QImage::Format_RGB32), original);
    // 10498 - 9330 = 1168 twips too wide: step 10, maximum 117; the height fits.
    QVERIFY(view.hScroll().isEnabled());
    QCOMPARE(view.hStep(), 10);
    QCOMPARE(view.hScroll().maximum(), 117);
    QVERIFY(!view.vScroll().isEnabled());
    QCOMPARE(view.vStep(), 0);
    QVERIFY(g_messages.isEmpty());
}

void TestImageView::zoomOutStopsAtQuarter() {
    ImageViewModel view;
    showPicture(view, 400, 200);
    const int base = view.baseWidth();
    for (int press = 0; press < 3; ++press)
        view.StepZoom(1);
    QCOMPARE(view.zoom(), 0.25f);
    QCOMPARE(view.pictureWidth(), base / 4);
    QCOMPARE(view.picture().width(), preview::twipsToPixels(base / 4));
    view.StepZoom(1);
    QCOMPARE(view.zoom(), 0.25f);
    QCOMPARE(view.pictureWidth(), base / 4);
}

void TestImageView::zoomInStopsAtLimitFactor() {
    ImageViewModel view;
    showPicture(view, 150, 100);  // base 2248 twips: 3.75 times is still below the limit
    for (int press = 0; press < 11; ++press)
        view.StepZoom(0);
    QCOMPARE(view.zoom(), 3.75f);
    QCOMPARE(view.pictureWidth(), static_cast<int>(2248 * 3.75));
    QCOMPARE(view.picture().size(), QSize(562, 374));
    view.StepZoom(0);
    QCOMPARE(view.zoom(), 3.75f);
    QCOMPARE(view.pictureWidth(), static_cast<int>(2248 * 3.75));
}

void TestImageView::sizeLimitRefusalRestartsFromOne() {
    ImageViewModel view;
    showPicture(view, 267, 100);  // base 4003 twips: 2.5 gives 10007, 2.75 would give 11008
    for (int press = 0; press < 6; ++press)
        view.StepZoom(0);
    QCOMPARE(view.zoom(), 2.5f);
    QCOMPARE(view.pictureWidth(), 10007);
    const QImage atTwoAndAHalf = view.picture();

    view.StepZoom(0);
    QCOMPARE(view.zoom(), 1.0f);
    QCOMPARE(view.zoomWidth(), view.baseWidth());
    QCOMPARE(view.pictureWidth(), 10007);
    QCOMPARE(view.picture(), atTwoAndAHalf);

    view.StepZoom(0);
    QCOMPARE(view.zoom(), 1.25f);
    QCOMPARE(view.pictureWidth(), 5003);
    QVERIFY(g_messages.isEmpty());
}

void TestImageView::oversizedBitmapStaysUnscaled() {
    ImageViewModel view;
    const QImage original = patternImage(800, 120);  // 12000 twips wide
    view.assignPicture(original);
    runFirstDisplay(view);
    QCOMPARE(view.picture(), original);
    QCOMPARE(view.pictureWidth(), 12000);
    QCOMPARE(view.hStep(), 10);
    QCOMPARE(view.hScroll().maximum(), 267);

    view.StepZoom(0);
    QCOMPARE(view.zoom(), 1.0f);
    QCOMPARE(view.pictureWidth(), 12000);

    view.StepZoom(1);  // 0.75 of 11998 is 8998: below the limit, so it repaints
    QCOMPARE(view.zoom(), 0.75f);
    QCOMPARE(view.pictureWidth(), 8998);
    QCOMPARE(view.picture().width(), 600);
    QVERIFY(!view.hScroll().isEnabled());
}

void TestImageView::repaintFitsBarRange() {
    ImageViewModel view;
    showPicture(view, 500, 400);  // base 7498 x 5998: fits, both bars off
    QVERIFY(!view.hScroll().isEnabled());
    QCOMPARE(view.hScroll().maximum(), 0);
    view.StepZoom(0);  // 9372 x 7497 twips
    QVERIFY(view.hScroll().isEnabled());
    QVERIFY(view.vScroll().isEnabled());
    QCOMPARE(view.hStep(), 1);
    QCOMPARE(view.hScroll().maximum(), 42);
    QCOMPARE(view.vScroll().maximum(), 72);
    view.vScroll().setValue(72);
    QCOMPARE(view.pictureTop(), -72.0);
    view.StepZoom(0);  // 11247 twips wide: refused, the bars keep their range
    QCOMPARE(view.hScroll().maximum(), 42);
    view.StepZoom(1);  // back from 1.0 to 0.75: fits again
    QCOMPARE(view.hStep(), 0);
    QCOMPARE(view.hScroll().maximum(), 0);
    QCOMPARE(view.pictureTop(), 0.0);
}

void TestImageView::changeRuleRunsOnlyOnRealChange() {
    ImageViewModel view;
    showPicture(view, 700, 600);
    // A drag moves the picture without touching the bars; a repaint then finds them at 0 already.
    view.picture1_MouseDown(3000, 3000);
    view.picture1_MouseMove(0, 2000, 2000);  // no button held: nothing moves
    QCOMPARE(view.pictureLeft(), 0.0);
    view.picture1_MouseMove(Qt::LeftButton, 2943, 2900);
    QCOMPARE(view.pictureLeft(), -57.0);
    QCOMPARE(view.pictureTop(), -100.0);
    view.RedrawImage();
    QCOMPARE(view.pictureLeft(), -57.0);
    QCOMPARE(view.pictureTop(), -100.0);

    view.hScroll().setValue(3);
    QCOMPARE(view.pictureLeft(), -30.0);
    QCOMPARE(view.pictureTop(), -100.0);
    // A value past the maximum is held at the maximum, as the real bar does.
    view.vScroll().setValue(1'000'000);
    QCOMPARE(view.vScroll().value(), view.vScroll().maximum());
    QCOMPARE(view.pictureTop(), -10.0 * view.vScroll().maximum());
    // A repaint puts both bars, and with them the picture, back at the start.
    view.StepZoom(1);
    QCOMPARE(view.hScroll().value(), 0);
    QCOMPARE(view.pictureLeft(), 0.0);
    QCOMPARE(view.pictureTop(), 0.0);
}

void TestImageView::changeRuleHandlesHugeOverflow() {
    ImageViewModel view;
    view.setPictureSize(view.viewport().outerWidth + 400'000, view.viewport().outerHeight + 40'000);
    view.InitScrollbars();
    QCOMPARE(view.hScroll().maximum(), 40'000);
    view.hScroll().setValue(40'000);
    view.vScroll().setValue(4'000);
    QCOMPARE(view.pictureLeft(), -400'000.0);
    QCOMPARE(view.pictureTop(), -40'000.0);
}

void TestImageView::dragClampsAtBothEnds() {
    ImageViewModel view;
    showPicture(view, 700, 600);
    const double farLeft = view.viewport().innerWidth() - view.pictureWidth();
    const double farTop = view.viewport().innerHeight() - view.pictureHeight();

    view.picture1_MouseDown(1000, 1000);
    view.picture1_MouseMove(Qt::LeftButton, 1600, 1300);  // towards the picture's start
    QCOMPARE(view.pictureLeft(), 0.0);
    QCOMPARE(view.pictureTop(), 0.0);

    view.picture1_MouseMove(Qt::RightButton, -90'000, -90'000);
    QCOMPARE(view.pictureLeft(), farLeft);
    QCOMPARE(view.pictureTop(), farTop);

    // Coordinates are the moving picture's own: the grabbed point stays under the pointer.
    view.picture1_MouseDown(5000, 5000);
    view.picture1_MouseMove(Qt::LeftButton, 5150, 5090);
    QCOMPARE(view.pictureLeft(), farLeft + 150);
    QCOMPARE(view.pictureTop(), farTop + 90);
}

void TestImageView::dragKeepsFittingAxisAtNearEdge() {
    ImageViewModel view;
    showPicture(view, 700, 300);  // wider than the viewport, but not as tall
    view.picture1_MouseDown(1000, 1000);
    view.picture1_MouseMove(Qt::LeftButton, 400, 200);  // up and to the left
    QCOMPARE(view.pictureLeft(), -600.0);
    // Dragging up on the axis that fits must not throw the picture against the bottom edge.
    QCOMPARE(view.pictureTop(), 0.0);
}

void TestImageView::releaseSettlesOnBarPosition() {
    ImageViewModel view;
    showPicture(view, 700, 600);  // overflow 1168 x 1573 twips: step 10, maxima 117 and 157
    view.picture1_MouseDown(4000, 4000);
    view.picture1_MouseMove(Qt::LeftButton, 4000 - 587, 4000 - 1234);
    QCOMPARE(view.pictureLeft(), -587.0);
    view.Picture1_MouseUp();
    // 587 / 1168 is 50 %, and 50 % of 117 is 58.5: 58 by the tie rule.
    QCOMPARE(view.hScroll().value(), 58);
    QCOMPARE(view.pictureLeft(), -580.0);
    // 1234 / 1573 is 78 %, and 78 % of 157 is 122.46.
    QCOMPARE(view.vScroll().value(), 122);
    QCOMPARE(view.pictureTop(), -1220.0);
    QVERIFY(g_messages.isEmpty());
}

void TestImageView::releaseWithEqualWidthsReportsNothing() {
    ImageViewModel view;
    // Base 9328: the repaint leaves the picture 9328 twips wide, so make it exactly the viewport here.
    showPicture(view, 622, 300);
    view.setPictureSize(view.viewport().outerWidth, view.pictureHeight());
    view.InitScrollbars();
    QVERIFY(!view.hScroll().isEnabled());
    QCOMPARE(view.hStep(), 0);
    view.picture1_MouseDown(100, 100);
    view.picture1_MouseMove(Qt::LeftButton, 50, 100);
    view.Picture1_MouseUp();
    QCOMPARE(view.hScroll().value(), 0);
    QVERIFY2(g_messages.isEmpty(), qPrintable(g_messages.join('\n')));
}

void TestImageView::releaseAtFarEndPutsBarsAtTheirEnd() {
    ImageViewModel view;
    showPicture(view, 700, 600);  // overflow 1168 x 1573 twips: step 10, maxima 117 and 157
    // Dragged as far as it goes, the picture's offset exceeds the outer-size overflow by the viewport's
    // border; the bars must still follow to their far end, or the next arrow click throws the picture back.
    view.picture1_MouseDown(4000, 4000);
    view.picture1_MouseMove(Qt::LeftButton, -90'000, -90'000);
    view.Picture1_MouseUp();
    QCOMPARE(view.hScroll().value(), view.hScroll().maximum());
    QCOMPARE(view.vScroll().value(), view.vScroll().maximum());
    QCOMPARE(view.pictureLeft(), -10.0 * view.hScroll().maximum());
    QCOMPARE(view.pictureTop(), -10.0 * view.vScroll().maximum());
    view.vScroll().setValue(view.vScroll().value() - 1);  // one click on the up arrow
    QCOMPARE(view.pictureTop(), -10.0 * (view.vScroll().maximum() - 1));
    QVERIFY(g_messages.isEmpty());
}

void TestImageView::percentSetters_data() {
    QTest::addColumn<bool>("vertical");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("expected");
    // The bar starts at 5 of 333.
    QTest::newRow("V 100") << true << 100 << 333;
    QTest::newRow("V 101") << true << 101 << 5;
    QTest::newRow("V -1") << true << -1 << 5;
    QTest::newRow("V 0") << true << 0 << 0;
    QTest::newRow("V 50, tie to even") << true << 50 << 166;
    QTest::newRow("H 100") << false << 100 << 333;
    QTest::newRow("H 101") << false << 101 << 5;
    QTest::newRow("H -1") << false << -1 << 5;
    QTest::newRow("H 33") << false << 33 << 110;
}

void TestImageView::percentSetters() {
    QFETCH(bool, vertical);
    QFETCH(int, percent);
    QFETCH(int, expected);
    ImageViewModel view;
    preview::ScrollBarModel bar;
    bar.setMaximum(333);
    bar.setValue(5);
    if (vertical)
        view.SetVScrollbarByPercent(bar, percent);
    else
        view.SetHScrollbarByPercent(bar, percent);
    QCOMPARE(bar.value(), expected);
}
