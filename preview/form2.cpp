#include "preview/form2.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWindow>

#include "preview/view_units.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/product.h"
#include "shell/ui/cursor_file.h"
#include "shell/ui/window_colours.h"
#include "shell/ui/window_placement.h"
#include "ui_form2.h"

namespace preview {

namespace {
const QString kForm = QStringLiteral("Form2");

// To assistive technology the picture view is a picture, not an empty panel.
QAccessibleInterface* pictureAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("preview::PictureView") && object && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Graphic);
    return nullptr;
}

// The lines of the activation handler that the first display's statements carry.
int firstDisplayLine(ImageViewModel::FirstDisplayStep step) {
    using Step = ImageViewModel::FirstDisplayStep;
    switch (step) {
        case Step::ReferenceWidth:
            return 118;
        case Step::ReferenceHeight:
            return 120;
        case Step::ReferencePicture:
            return 122;
        case Step::ResetZoom:
            return 124;
        case Step::BaseWidth:
            return 126;
        case Step::BaseHeight:
            return 128;
        case Step::ZoomWidth:
            return 130;
        case Step::ZoomHeight:
            return 132;
        case Step::Redraw:
            return 134;
        case Step::InitScrollbars:
            return 136;
    }
    return 0;
}
}  // namespace

Form2::Form2(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::Form2>()) {
    static const bool pictureRole = (QAccessible::installFactory(pictureAccessible), true);
    Q_UNUSED(pictureRole);
    ui_->setupUi(this);
    // A fixed single border without a maximise button.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());

    // White at design time; the load step turns the window and the frame to the button face.
    shell::setBackColour(this, Qt::white);
    shell::setBackColour(ui_->Frame1, Qt::white);
    shell::setBackColour(ui_->Picture2, Qt::white);
    shell::setBackColour(ui_->Picture2Client, Qt::white);
    // The .ui format holds whole points only.
    QFont buttonFont(QStringLiteral("Arial"));
    buttonFont.setPointSizeF(11.25);
    buttonFont.setBold(true);
    for (QPushButton* button : {ui_->PushButton1, ui_->PushButton2, ui_->PushButton6, ui_->PushButton8}) {
        button->setFont(buttonFont);
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, Qt::white);
        button->setPalette(palette);
        button->setMouseTracking(true);
        button->installEventFilter(this);
    }
    setMouseTracking(true);
    ui_->Frame1->setMouseTracking(true);
    ui_->Frame1->installEventFilter(this);

    connectView();
    pictureCommands_ = new PictureCommands(
        this, ui_->Picture2,
        {[this] { return mExcelFile; },
         [this] {
             // The picture at its own size, before any zoom.
             return view_.referencePicture().isNull() ? view_.picture() : view_.referencePicture();
         }});
    connect(pictureCommands_, &PictureCommands::statementKept, this, &Form2::statementKept);
    connect(pictureCommands_, &PictureCommands::historyRequested, this, &Form2::historyRequested);
}

Form2::~Form2() = default;

void Form2::Form_Load() {
    shell::Procedure p(kForm, QStringLiteral("Form_Load"));
    p.step(100, [&] { mFirstShow = true; });
    p.step(102, [&] { shell::SetSystemBackColors(this); });
    // The window shows the application's icon as every window does unless given its own.
    p.step(104, [&] { setWindowTitle(shell::product::kName); });
    const QString cursorFile = shell::handCursorPath();
    bool found = false;
    p.step(108, [&] { found = shell::FileExists(cursorFile); });
    if (found)
        p.step(110, [&] { handCursor_ = shell::loadCursorFile(cursorFile); });
}

void Form2::setPicture(const QImage& picture) {
    view_.assignPicture(picture);
    syncView();
}

void Form2::setExcelFile(const QString& path) {
    mExcelFile = path;
    try {
        sheet_ = generation::GeneratedStatement::read(path);
    } catch (const std::exception&) {
        // Without the workbook the picture is all there is: no totals, no sharper picture.
        sheet_.reset();
    }
    ui_->Picture1->setAccessibleDescription(sheet_ ? sheet_->totals() : QString());
}

// The handed-over picture has one device pixel to each pixel; a screen with more gets the same picture
// drawn again from the workbook with as many, the same size in pixels, so the view's arithmetic in twips
// does not change.
void Form2::sharpenPicture() {
    const qreal ratio = devicePixelRatioF();
    if (!sheet_ || ratio == view_.picture().devicePixelRatio())
        return;
    const QImage sharp = sheet_->picture(ratio);
    if (!sharp.isNull() &&
        sharp.deviceIndependentSize().toSize() == view_.picture().deviceIndependentSize().toSize())
        view_.assignPicture(sharp);
}

// Moved to a screen of another pixel density, the view keeps its zoom and position and only its picture
// is drawn again.
void Form2::followScreen() {
    if (mFirstShow || !sheet_)
        return;
    const qreal ratio = devicePixelRatioF();
    if (ratio == view_.referencePicture().devicePixelRatio())
        return;
    view_.replaceReference(sheet_->picture(ratio));
    syncView();
}

// Centred on the main window's screen, where the user is looking, and reachable however small it is.
void Form2::placeOnScreen() {
    QScreen* target = mainWindow_ ? mainWindow_->screen() : screen();
    if (target && target != screen())
        setScreen(target);
    // On a screen too small for the window (a large scale factor) its content scrolls.
    if (QWidget* content = shell::fitOnScreen(this, target)) {
        content->installEventFilter(this);
        fitContent_ = content;
    }
    shell::placeOnScreen(this, target);
}

// The set-up runs on the first activation after a hand-over. Without a window manager (offscreen, a bare
// X server) a shown window may never be activated, so showing it runs the set-up as well; whichever
// comes first does it and clears mFirstShow, and the other finds nothing to do.
bool Form2::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return QWidget::event(event);
}

void Form2::showEvent(QShowEvent* event) {
    if (!event->spontaneous())
        placeOnScreen();
    QWidget::showEvent(event);
    if (!followsScreen_ && windowHandle()) {
        followsScreen_ = true;
        connect(windowHandle(), &QWindow::screenChanged, this, [this] { followScreen(); });
    }
    Form_Activate();
}

void Form2::Form_Activate() {
    if (!mFirstShow)
        return;
    sharpenPicture();
    shell::Procedure p(kForm, QStringLiteral("Form_Activate"));
    // Persistent drawing: the picture views keep their painted image and repaint from it.
    p.step(104, [&] { ui_->Picture1->setAttribute(Qt::WA_StaticContents); });
    p.step(110, [&] { shell::setBackColour(ui_->Picture1, Qt::white); });
    p.step(114, [&] { ui_->Zoom_Ori->setAttribute(Qt::WA_StaticContents); });
    p.step(116, [&] { ui_->Zoom_Ori->hide(); });
    view_.firstDisplay([&p](ImageViewModel::FirstDisplayStep step, const std::function<void()>& statement) {
        p.step(firstDisplayLine(step), statement);
    });
    p.step(138, [&] { mFirstShow = false; });
    syncView();
}

void Form2::setMousePointer(shell::MousePointer pointer) {
    pointer_ = pointer;
    shell::applyMousePointer(this, pointer, handCursor_);
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    // Moves that a button or the frame did not take arrive here too; only the window's own surface counts.
    const bool overSurface = childAt(event->position().toPoint()) == nullptr;
    if (overSurface && pointer_ != shell::MousePointer::Hourglass)
        setMousePointer(shell::MousePointer::Default);
    QWidget::mouseMoveEvent(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove && pointer_ != shell::MousePointer::Hourglass) {
        if (watched == fitContent_) {
            // The window's surface, where the content scrolls.
            const auto* move = static_cast<QMouseEvent*>(event);
            if (fitContent_->childAt(move->position().toPoint()) == nullptr)
                setMousePointer(shell::MousePointer::Default);
        } else if (watched == ui_->Frame1) {
            // A move over a button inside the frame reaches the frame as well when the button lets it pass.
            const auto* move = static_cast<QMouseEvent*>(event);
            if (ui_->Frame1->childAt(move->position().toPoint()) == nullptr)
                setMousePointer(shell::MousePointer::Default);
        } else {
            setMousePointer(shell::MousePointer::Custom);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::connectView() {
    view_.setDefaultPointerHandler([this] { setMousePointer(shell::MousePointer::Default); });
    connect(ui_->HScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        view_.hScroll().setValue(value);
        syncView();
    });
    connect(ui_->VScroll1, &QScrollBar::valueChanged, this, [this](int value) {
        view_.vScroll().setValue(value);
        syncView();
    });
    auto toTwips = [](QPointF position) {
        return QPointF(position.x() * kTwipsPerPixel, position.y() * kTwipsPerPixel);
    };
    connect(ui_->Picture1, &PictureView::mousePressed, this,
            [this, toTwips](Qt::MouseButtons, QPointF position) {
                const QPointF at = toTwips(position);
                view_.picture1_MouseDown(static_cast<float>(at.x()), static_cast<float>(at.y()));
            });
    connect(ui_->Picture1, &PictureView::mouseMoved, this,
            [this, toTwips](Qt::MouseButtons buttons, QPointF position) {
                const QPointF at = toTwips(position);
                view_.picture1_MouseMove(static_cast<int>(buttons.toInt()), static_cast<float>(at.x()),
                                         static_cast<float>(at.y()));
                syncView();
            });
    connect(ui_->Picture1, &PictureView::mouseReleased, this, [this](Qt::MouseButtons, QPointF) {
        view_.Picture1_MouseUp();
        syncView();
    });
    connect(ui_->PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(ui_->PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(ui_->PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(ui_->PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
}

void Form2::syncBar(QScrollBar* bar, const ScrollBarModel& model) {
    // The model has already run its change rule; the widget only shows the result.
    const QSignalBlocker blocker(bar);
    bar->setMaximum(model.maximum());
    bar->setValue(model.value());
    bar->setEnabled(model.isEnabled());
}

void Form2::syncView() {
    ui_->Picture1->setImage(view_.picture());
    ui_->Picture1->setGeometry(twipsToPixels(view_.pictureLeft()), twipsToPixels(view_.pictureTop()),
                               twipsToPixels(view_.pictureWidth()), twipsToPixels(view_.pictureHeight()));
    ui_->Zoom_Ori->setImage(view_.referencePicture());
    ui_->Zoom_Ori->resize(twipsToPixels(view_.referenceWidth()), twipsToPixels(view_.referenceHeight()));
    syncBar(ui_->HScroll1, view_.hScroll());
    syncBar(ui_->VScroll1, view_.vScroll());
}

void Form2::SetHScrollbarByPercent(int percent) {
    view_.SetHScrollbarByPercent(view_.hScroll(), percent);
    syncView();
}

void Form2::SetVScrollbarByPercent(int percent) {
    view_.SetVScrollbarByPercent(view_.vScroll(), percent);
    syncView();
}

}  // namespace preview
