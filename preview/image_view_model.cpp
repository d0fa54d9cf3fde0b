#include "preview/image_view_model.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "preview/view_units.h"
#include "shell/core/error_report.h"

namespace preview {

namespace {
const QString kForm = QStringLiteral("Form2");

// The bar's offset for a value. Widened: a 16-bit product overflows for any picture whose overflow
// passes 32767 twips, which a large sheet easily reaches.
double scrolledOffset(int step, int value) {
    return -static_cast<double>(std::int64_t{step} * value);
}

// An image's size in pixels of 96 dpi, whatever number of device pixels it has to each.
QSize pixelSize(const QImage& image) {
    const qreal ratio = image.devicePixelRatio();
    return {qRound(image.width() / ratio), qRound(image.height() / ratio)};
}
}  // namespace

ImageViewModel::ImageViewModel(ViewportGeometry viewport) : viewport_(viewport) {
    hScroll_.setChangeRule([this] { pictureLeft_ = scrolledOffset(mHStep, hScroll_.value()); });
    vScroll_.setChangeRule([this] { pictureTop_ = scrolledOffset(mVStep, vScroll_.value()); });
}

void ImageViewModel::assignPicture(const QImage& image) {
    picture_ = image;
    painted_ = false;
    const QSize size = pixelSize(image);
    setPictureSize(pixelsToTwips(size.width()), pixelsToTwips(size.height()));
}

void ImageViewModel::replaceReference(const QImage& reference) {
    if (reference_.isNull() || reference.isNull() || pixelSize(reference) != pixelSize(reference_))
        return;
    const bool handedOver = !painted_ && picture_.cacheKey() == reference_.cacheKey();
    reference_ = reference;
    if (painted_)
        paintReferenceIntoPicture(pictureWidth_, pictureHeight_);
    else if (handedOver)
        picture_ = reference_;
}

void ImageViewModel::setPictureSize(int width, int height) {
    // A view cannot be narrower than nothing; a picture that failed to load leaves a negative base size.
    pictureWidth_ = std::max(0, width);
    pictureHeight_ = std::max(0, height);
}

void ImageViewModel::movePicture(double left, double top) {
    pictureLeft_ = left;
    pictureTop_ = top;
}

void ImageViewModel::firstDisplay(const StepRunner& run) {
    using Step = FirstDisplayStep;
    run(Step::ReferenceWidth, [&] { referenceWidth_ = pictureWidth_; });
    run(Step::ReferenceHeight, [&] { referenceHeight_ = pictureHeight_; });
    run(Step::ReferencePicture, [&] { reference_ = picture_; });
    run(Step::ResetZoom, [&] { mZoom = 1.0f; });
    run(Step::BaseWidth, [&] { mBaseWidth = nearest(referenceWidth_ - 2.0); });
    run(Step::BaseHeight, [&] { mBaseHeight = nearest(referenceHeight_ - 2.0); });
    run(Step::ZoomWidth, [&] { mZoomWidth = mBaseWidth; });
    run(Step::ZoomHeight, [&] { mZoomHeight = mBaseHeight; });
    run(Step::Redraw, [&] { RedrawImage(); });
    run(Step::InitScrollbars, [&] { InitScrollbars(); });
}

void ImageViewModel::RedrawImage() {
    shell::Procedure p(kForm, QStringLiteral("RedrawImage"));
    p.step(100,
           [&] { mZoomWidth = floorToInt(static_cast<double>(mBaseWidth) * static_cast<double>(mZoom)); });
    p.step(102,
           [&] { mZoomHeight = floorToInt(static_cast<double>(mBaseHeight) * static_cast<double>(mZoom)); });
    bool refused = false;
    p.step(104, [&] { refused = mZoomWidth >= kSizeLimit || mZoomHeight >= kSizeLimit; });
    if (refused) {
        // The picture keeps what the last repaint gave it; only the next step starts again from 1.0.
        p.step(124, [&] { mZoom = 1.0f; });
        p.step(126, [&] { mBaseWidth = nearest(referenceWidth_ - 2.0); });
        p.step(128, [&] { mBaseHeight = nearest(referenceHeight_ - 2.0); });
        p.step(130, [&] { mZoomWidth = mBaseWidth; });
        p.step(132, [&] { mZoomHeight = mBaseHeight; });
        return;
    }
    p.step(106, [&] {
        picture_ = QImage();
        painted_ = false;
    });
    p.step(108, [&] { setPictureSize(mZoomWidth, pictureHeight_); });
    p.step(110, [&] { setPictureSize(pictureWidth_, mZoomHeight); });
    p.step(112, [&] { paintReferenceIntoPicture(mZoomWidth, mZoomHeight); });
    p.step(114, [&] {
        if (defaultPointer_)
            defaultPointer_();
    });
    p.step(116, [&] { hScroll_.setValue(0); });
    p.step(118, [&] { vScroll_.setValue(0); });
    // The bars' range and step follow the repainted size too: with the range of the first display a
    // picture zoomed past the viewport could not be scrolled with its bars. The values are 0 here, so no
    // change rule runs.
    p.step(120, [&] {
        hScroll_.setEnabled(viewport_.innerWidth() < mZoomWidth);
        fitBarRange(hScroll_, mHStep, pictureWidth_, viewport_.outerWidth);
    });
    p.step(122, [&] {
        vScroll_.setEnabled(viewport_.innerHeight() < mZoomHeight);
        fitBarRange(vScroll_, mVStep, pictureHeight_, viewport_.outerHeight);
    });
}

void ImageViewModel::fitBarRange(ScrollBarModel& bar, int& step, int pictureOuter, int viewportOuter) {
    const double d = static_cast<double>(pictureOuter) - viewportOuter;
    if (d <= 0.0) {
        step = 0;
        bar.setMaximum(0);
    } else if (d <= 100.0) {
        bar.setMaximum(nearest(d));
        step = 1;
    } else {
        bar.setMaximum(nearest(d / 10.0));
        step = 10;
    }
}

// The picture keeps the reference's device pixels to a pixel: at a ratio of 2 every pixel of the
// destination is painted from two by two of the source's.
void ImageViewModel::paintReferenceIntoPicture(int width, int height) {
    const QSize destination(twipsToPixels(width), twipsToPixels(height));
    if (destination.isEmpty())
        return;
    const qreal ratio = reference_.isNull() ? 1.0 : reference_.devicePixelRatio();
    QImage painted(QSize(static_cast<int>(std::ceil(destination.width() * ratio)),
                         static_cast<int>(std::ceil(destination.height() * ratio))),
                   QImage::Format_RGB32);
    painted.setDevicePixelRatio(ratio);
    painted.fill(Qt::white);
    const QRectF source(0, 0, twipsToPixels(mBaseWidth) * ratio, twipsToPixels(mBaseHeight) * ratio);
    if (!reference_.isNull() && !source.isEmpty()) {
        QPainter painter(&painted);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(QPointF(0, 0), QSizeF(destination)), reference_, source);
    }
    picture_ = painted;
    painted_ = true;
}

void ImageViewModel::initScrollbar(ScrollBarModel& bar, int& step, int pictureOuter, int viewportOuter) {
    const float w1 = static_cast<float>(pictureOuter);
    const float w2 = static_cast<float>(viewportOuter);
    const double d = static_cast<double>(w1) - static_cast<double>(w2);
    if (w1 <= w2) {
        bar.setEnabled(false);
        step = 0;
    } else if (d <= 100.0) {
        bar.setEnabled(true);
        bar.setMaximum(nearest(d));
        step = 1;
        bar.setValue(0);
    } else {
        bar.setEnabled(true);
        bar.setMaximum(nearest(d / 10.0));
        step = 10;
        bar.setValue(0);
    }
}

void ImageViewModel::InitScrollbars() {
    pictureTop_ = 0.0;
    pictureLeft_ = 0.0;
    initScrollbar(hScroll_, mHStep, pictureWidth_, viewport_.outerWidth);
    initScrollbar(vScroll_, mVStep, pictureHeight_, viewport_.outerHeight);
}

void ImageViewModel::StepZoom(int zoomOut) {
    const float candidate = zoomOut == 0 ? mZoom + kZoomStep : mZoom - kZoomStep;
    ApplyZoom(candidate);
}

void ImageViewModel::ApplyZoom(float zoom) {
    if (zoom < kMinZoom || zoom > kMaxZoom)
        return;
    mZoom = zoom;
    RedrawImage();
}

void ImageViewModel::SetHScrollbarByPercent(ScrollBarModel& bar, int percent) {
    if (percent < 0)
        return;
    const double target = percent / 100.0 * bar.maximum();
    if (target <= bar.maximum())
        bar.setValue(nearest(target));
}

void ImageViewModel::SetVScrollbarByPercent(ScrollBarModel& bar, int percent) {
    if (percent < 0 || percent > 100)
        return;
    bar.setValue(nearest(percent / 100.0 * bar.maximum()));
}

void ImageViewModel::picture1_MouseDown(float x, float y) {
    shell::Procedure p(kForm, QStringLiteral("picture1_MouseDown"));
    p.step(100, [&] { mDownX = x; });
    p.step(102, [&] { mDownY = y; });
}

void ImageViewModel::picture1_MouseMove(int buttons, float x, float y) {
    shell::Procedure p(kForm, QStringLiteral("picture1_MouseMove"));
    bool dragging = false;
    p.step(100, [&] { dragging = buttons != 0; });
    if (!dragging)
        return;
    // On an axis where the picture is not larger than the viewport the two bounds would cross and throw
    // the picture against the far edge; it stays at the near edge instead, as its disabled bar says.
    double left = 0.0;
    p.step(104, [&] { left = pictureLeft_ - mDownX + x; });
    bool pastStart = false;
    p.step(106, [&] { pastStart = left > 0.0; });
    if (pastStart) {
        p.step(108, [&] { left = 0.0; });
    } else {
        const double farLeft = std::min(0.0, static_cast<double>(viewport_.innerWidth()) - pictureWidth_);
        bool pastEnd = false;
        p.step(110, [&] { pastEnd = farLeft > left; });
        if (pastEnd)
            p.step(112, [&] { left = farLeft; });
    }
    double top = 0.0;
    p.step(114, [&] { top = pictureTop_ - mDownY + y; });
    bool pastTop = false;
    p.step(116, [&] { pastTop = top > 0.0; });
    if (pastTop) {
        p.step(118, [&] { top = 0.0; });
    } else {
        const double farTop = std::min(0.0, static_cast<double>(viewport_.innerHeight()) - pictureHeight_);
        bool pastBottom = false;
        p.step(120, [&] { pastBottom = farTop > top; });
        if (pastBottom)
            p.step(122, [&] { top = farTop; });
    }
    p.step(124, [&] { movePicture(left, top); });
}

namespace {
// How far along its overflow the picture has been dragged, in percent; 0 when there is no overflow.
// A drag may go past the outer-size overflow by the viewport's border; that is still the far end, 100,
// which the setters would otherwise ignore and leave the bar where the drag began.
int draggedPercent(double offset, int pictureOuter, int viewportOuter) {
    const int overflow = pictureOuter - viewportOuter;
    if (overflow == 0)
        return 0;
    return std::min(nearest(std::abs(offset) / overflow * 100.0), 100);
}
}  // namespace

void ImageViewModel::Picture1_MouseUp() {
    shell::Procedure p(kForm, QStringLiteral("Picture1_MouseUp"));
    int h = 0;
    int v = 0;
    p.step(100, [&] { h = draggedPercent(pictureLeft_, pictureWidth_, viewport_.outerWidth); });
    p.step(102, [&] { v = draggedPercent(pictureTop_, pictureHeight_, viewport_.outerHeight); });
    p.step(104, [&] { SetHScrollbarByPercent(hScroll_, h); });
    p.step(106, [&] { SetVScrollbarByPercent(vScroll_, v); });
}

}  // namespace preview
