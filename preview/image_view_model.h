#pragma once

#include <QImage>
#include <functional>

#include "preview/scroll_bar_model.h"

namespace preview {

// Where the picture is shown: a fixed, clipping frame on the preview window.
struct ViewportGeometry {
    int outerWidth = 9330;
    int outerHeight = 7425;
    int border = 15;  // one pixel on each side
    int innerWidth() const { return outerWidth - 2 * border; }
    int innerHeight() const { return outerHeight - 2 * border; }
};

// The preview's picture view without any widget: the picture view `Picture1` moved inside the viewport
// `Picture2`, the hidden reference `Zoom_Ori` holding the picture at its base size, the two scroll bars,
// zoom and dragging. Every length is in twips; the window maps them to pixels and follows this state.
class ImageViewModel {
public:
    // Nothing on either side of a repaint may reach this many twips.
    static constexpr int kSizeLimit = 11000;
    static constexpr float kMinZoom = 0.25f;
    static constexpr float kMaxZoom = 3.75f;
    static constexpr float kZoomStep = 0.25f;

    explicit ImageViewModel(ViewportGeometry viewport = {});
    ImageViewModel(const ImageViewModel&) = delete;
    ImageViewModel& operator=(const ImageViewModel&) = delete;

    // --- Picture1: sizes itself to a picture it is given, by its size in pixels of 96 dpi (an image with
    // more device pixels to a pixel is the same size as one without).
    void assignPicture(const QImage& image);
    const QImage& picture() const { return picture_; }
    double pictureLeft() const { return pictureLeft_; }
    double pictureTop() const { return pictureTop_; }
    int pictureWidth() const { return pictureWidth_; }
    int pictureHeight() const { return pictureHeight_; }
    void setPictureSize(int width, int height);
    void movePicture(double left, double top);

    // --- Zoom_Ori: no border of its own, so its inner size is its outer size.
    const QImage& referencePicture() const { return reference_; }
    // The same picture with another number of device pixels to a pixel (its size in pixels unchanged):
    // the view repaints from it at its present size and keeps zoom, offsets and bars. Ignored when the
    // size differs or no picture was set up yet.
    void replaceReference(const QImage& reference);
    int referenceWidth() const { return referenceWidth_; }
    int referenceHeight() const { return referenceHeight_; }

    // --- Picture2
    const ViewportGeometry& viewport() const { return viewport_; }

    ScrollBarModel& hScroll() { return hScroll_; }
    ScrollBarModel& vScroll() { return vScroll_; }
    const ScrollBarModel& hScroll() const { return hScroll_; }
    const ScrollBarModel& vScroll() const { return vScroll_; }

    // Runs whenever a repaint sets the window's pointer back to the default.
    void setDefaultPointerHandler(std::function<void()> handler) { defaultPointer_ = std::move(handler); }

    // The statements of the set-up on the first display after a hand-over, in order. The window runs
    // each through its activation handler's procedure, which numbers them.
    enum class FirstDisplayStep {
        ReferenceWidth,
        ReferenceHeight,
        ReferencePicture,
        ResetZoom,
        BaseWidth,
        BaseHeight,
        ZoomWidth,
        ZoomHeight,
        Redraw,
        InitScrollbars,
    };
    using StepRunner = std::function<void(FirstDisplayStep step, const std::function<void()>& statement)>;
    void firstDisplay(const StepRunner& run);

    void RedrawImage();
    void InitScrollbars();
    void StepZoom(int zoomOut);
    void ApplyZoom(float zoom);
    void SetHScrollbarByPercent(ScrollBarModel& bar, int percent);
    void SetVScrollbarByPercent(ScrollBarModel& bar, int percent);

    // Pointer positions are in the picture view's own coordinates; buttons is 0 when none is held.
    void picture1_MouseDown(float x, float y);
    void picture1_MouseMove(int buttons, float x, float y);
    void Picture1_MouseUp();

    // The view state, in twips where it is a length.
    float zoom() const { return mZoom; }
    int baseWidth() const { return mBaseWidth; }
    int baseHeight() const { return mBaseHeight; }
    int zoomWidth() const { return mZoomWidth; }
    int zoomHeight() const { return mZoomHeight; }
    int hStep() const { return mHStep; }
    int vStep() const { return mVStep; }

private:
    void paintReferenceIntoPicture(int width, int height);
    static void fitBarRange(ScrollBarModel& bar, int& step, int pictureOuter, int viewportOuter);
    static void initScrollbar(ScrollBarModel& bar, int& step, int pictureOuter, int viewportOuter);

    ViewportGeometry viewport_;
    QImage picture_;
    double pictureLeft_ = 0.0;
    double pictureTop_ = 0.0;
    int pictureWidth_ = 0;
    int pictureHeight_ = 0;
    QImage reference_;
    bool painted_ = false;  // picture_ was painted from reference_, at the picture view's size
    int referenceWidth_ = 0;
    int referenceHeight_ = 0;
    ScrollBarModel hScroll_;
    ScrollBarModel vScroll_;
    std::function<void()> defaultPointer_;

    float mZoom = 1.0f;
    int mBaseWidth = 0;
    int mBaseHeight = 0;
    int mZoomWidth = 0;
    int mZoomHeight = 0;
    float mDownX = 0.0f;
    float mDownY = 0.0f;
    int mHStep = 0;
    int mVStep = 0;
};

}  // namespace preview
