// Screens of any size and pixel density: where the windows go, and how sharp the preview's picture is.
#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <cmath>

#include "desktop_fixture.h"
#include "entry/form1.h"
#include "preview/form2.h"
#include "preview/view_units.h"
#include "tests/common/test_classes.h"

namespace {

// Mean difference of two images' colour channels, 0 to 255.
double meanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 255.0;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const auto* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const auto* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column) {
            sum += std::abs(qRed(p[column]) - qRed(q[column])) +
                   std::abs(qGreen(p[column]) - qGreen(q[column])) +
                   std::abs(qBlue(p[column]) - qBlue(q[column]));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

// Share of the two-by-two blocks of device pixels that are not one colour. A picture of 96 dpi blown up
// to twice its pixels has none; one drawn at twice the resolution has detail inside its pixels.
double finerThanPixels(const QImage& image) {
    const QImage x = image.convertToFormat(QImage::Format_RGB32);
    int blocks = 0;
    int detailed = 0;
    for (int row = 0; row + 1 < x.height(); row += 2) {
        for (int column = 0; column + 1 < x.width(); column += 2) {
            const QRgb c = x.pixel(column, row);
            ++blocks;
            if (x.pixel(column + 1, row) != c || x.pixel(column, row + 1) != c ||
                x.pixel(column + 1, row + 1) != c)
                ++detailed;
        }
    }
    return blocks ? double(detailed) / blocks : 0.0;
}

// The picture's extent in device pixels for a size in twips.
QSize devicePixels(int widthTwips, int heightTwips, qreal ratio) {
    return {int(std::ceil(preview::twipsToPixels(widthTwips) * ratio)),
            int(std::ceil(preview::twipsToPixels(heightTwips) * ratio))};
}

}  // namespace

class ScreenTest : public QObject {
    Q_OBJECT

    DesktopFixture fixture;

private slots:
    void init() { fixture.setUp(); }
    void cleanup() { fixture.tearDown(); }

    void screensAreSetUp() {
        QCOMPARE(QGuiApplication::screens().size(), 5);
        QScreen* small = DesktopFixture::screen(QStringLiteral("scaled200"));
        QVERIFY(small);
        QCOMPARE(small->availableGeometry(), QRect(1920, 0, 512, 384));
        QCOMPARE(small->devicePixelRatio(), 2.0);
    }

    // Inside the available area when the frame fits, centred; on an axis where it does not, from the
    // area's start, so the title bar and the first buttons can be reached.
    void windowsArePlacedOnTheirScreen_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("window");
        for (const char* screen : {"wide", "scaled200", "scaled150", "narrow", "tiny"}) {
            for (const char* window : {"Form1", "Form2"})
                QTest::addRow("%s %s", window, screen) << screen << window;
        }
    }

    void windowsArePlacedOnTheirScreen() {
        QFETCH(QString, screen);
        QFETCH(QString, window);
        QScreen* target = DesktopFixture::screen(screen);
        QVERIFY(target);
        // The screen the window system gives the main window.
        entry::Form1 main;
        main.winId();
        main.windowHandle()->setScreen(target);
        main.Form_Load();
        preview::Form2 preview;
        QWidget* shown = &main;
        if (window == QLatin1String("Form2")) {
            preview.Form_Load();
            preview.setMainWindow(&main);
            shown = &preview;
        }
        shown->show();
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        QCOMPARE(shown->screen(), target);

        const QRect area = target->availableGeometry();
        const QRect frame = shown->frameGeometry();
        QVERIFY2(frame.size() != shown->size(), "the platform gives the frame");
        const auto axis = [](int start, int length, int areaStart, int areaLength) {
            if (length > areaLength)
                return start == areaStart;
            const int centred = areaStart + (areaLength - length) / 2;
            return start >= areaStart && start + length <= areaStart + areaLength &&
                   std::abs(start - centred) <= 1;
        };
        const QString where = QStringLiteral("frame %1,%2 %3x%4 in %5,%6 %7x%8")
                                  .arg(frame.x())
                                  .arg(frame.y())
                                  .arg(frame.width())
                                  .arg(frame.height())
                                  .arg(area.x())
                                  .arg(area.y())
                                  .arg(area.width())
                                  .arg(area.height());
        QVERIFY2(axis(frame.left(), frame.width(), area.left(), area.width()), qPrintable(where));
        QVERIFY2(axis(frame.top(), frame.height(), area.top(), area.height()), qPrintable(where));
    }

    void pictureIsDrawnAtTheScreensPixelRatio_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("100 %") << "wide" << 1.0;
        QTest::newRow("150 %") << "scaled150" << 1.5;
        QTest::newRow("200 %") << "scaled200" << 2.0;
    }

    void pictureIsDrawnAtTheScreensPixelRatio() {
        QFETCH(QString, screen);
        QFETCH(qreal, ratio);
        const auto generated = fixture.generate();
        QVERIFY(!generated.picture.isNull());
        QCOMPARE(generated.picture.devicePixelRatio(), 1.0);

        QWidget main;
        main.setScreen(DesktopFixture::screen(screen));
        preview::Form2 preview;
        preview.Form_Load();
        preview.setMainWindow(&main);
        preview.setPicture(generated.picture);
        preview.setExcelFile(generated.workbook);
        preview.rearmFirstShow();
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.devicePixelRatioF(), ratio);

        // The view's arithmetic is the same as for the handed-over picture on a screen of 96 dpi.
        preview::ImageViewModel plain;
        plain.assignPicture(generated.picture);
        plain.firstDisplay([](auto, const std::function<void()>& statement) { statement(); });
        const auto& view = preview.view();
        QCOMPARE(view.baseWidth(), plain.baseWidth());
        QCOMPARE(view.baseHeight(), plain.baseHeight());
        QCOMPARE(view.pictureWidth(), plain.pictureWidth());
        QCOMPARE(view.pictureHeight(), plain.pictureHeight());
        QCOMPARE(view.hScroll().maximum(), plain.hScroll().maximum());
        QCOMPARE(view.vScroll().maximum(), plain.vScroll().maximum());
        QCOMPARE(view.hStep(), plain.hStep());

        // The picture has the screen's device pixels, drawn from the sheet, and shows what the handed-over
        // one shows.
        const QImage& picture = view.picture();
        QCOMPARE(picture.devicePixelRatio(), ratio);
        QCOMPARE(picture.size(), devicePixels(view.pictureWidth(), view.pictureHeight(), ratio));
        // Compared at a quarter of the size, where resampling no longer counts but the sheet's text, fills
        // and rules do: a blank picture differs from it by about 14.
        const auto quarter = [&](const QImage& image) {
            return image.scaled(generated.picture.size() / 4, Qt::IgnoreAspectRatio,
                                Qt::SmoothTransformation);
        };
        const double difference = meanDifference(quarter(picture), quarter(generated.picture));
        QVERIFY2(difference < 4.0, qPrintable(QString::number(difference)));
        if (ratio == 1.0)
            QCOMPARE(meanDifference(picture, generated.picture), 0.0);
        if (ratio == 2.0)
            QVERIFY2(finerThanPixels(picture) > 0.01, qPrintable(QString::number(finerThanPixels(picture))));

        // The window puts those pixels on the screen one for one.
        auto* view1 = preview.findChild<QWidget*>(QStringLiteral("Picture1"));
        const QImage grabbed = view1->grab().toImage();
        QCOMPARE(grabbed.size(), picture.size());
        QCOMPARE(meanDifference(grabbed, picture), 0.0);

        // Zooming keeps the pixel density.
        preview.findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();
        QCOMPARE(view.zoom(), 0.75f);
        QCOMPARE(view.picture().devicePixelRatio(), ratio);
        QCOMPARE(view.picture().size(), devicePixels(view.pictureWidth(), view.pictureHeight(), ratio));
        QVERIFY(fixture.messages.isEmpty());
    }

    // Moved to a screen of another density, the picture is drawn again for it; zoom and position stay.
    void pictureFollowsTheScreen() {
        const auto generated = fixture.generate();
        QWidget main;
        main.setScreen(DesktopFixture::screen(QStringLiteral("wide")));
        preview::Form2 preview;
        preview.Form_Load();
        preview.setMainWindow(&main);
        preview.setPicture(generated.picture);
        preview.setExcelFile(generated.workbook);
        preview.rearmFirstShow();
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.findChild<QPushButton*>(QStringLiteral("PushButton2"))->click();
        const int width = preview.view().pictureWidth();
        QCOMPARE(preview.view().picture().devicePixelRatio(), 1.0);

        QScreen* dense = DesktopFixture::screen(QStringLiteral("scaled200"));
        preview.windowHandle()->setScreen(dense);
        preview.move(dense->availableGeometry().topLeft());
        QTRY_COMPARE(preview.view().picture().devicePixelRatio(), 2.0);
        QCOMPARE(preview.view().zoom(), 0.75f);
        QCOMPARE(preview.view().pictureWidth(), width);
        QCOMPARE(preview.view().picture().size(), devicePixels(width, preview.view().pictureHeight(), 2.0));
    }
};

testing::TestClass screenTests() {
    return testing::testClass<ScreenTest>();
}

#include "screen_test.moc"
