#include "app/program.h"

#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>

#include "entry/form1.h"
#include "preview/form2.h"
#include "shell/core/product.h"
#include "shell/ui/dialog_reporters.h"

namespace app {

namespace {

// The icon's pictures are stored as their pixels (see resources/icon_pixels.cpp); one that is missing or
// of another size is left out.
QIcon applicationIcon() {
    QIcon icon;
    for (const int size : shell::product::kIconSizes) {
        const QResource pixels(
            QStringLiteral("%1/%2x%2/quillberry.pixels").arg(shell::product::kIconResourceFolder).arg(size));
        if (pixels.compressionAlgorithm() != QResource::NoCompression ||
            pixels.size() != qint64(size) * size * 4)
            continue;
        // A copy: the stored pixels need not be aligned the way an image's rows must be.
        const QImage picture =
            QImage(pixels.data(), size, size, size * 4, QImage::Format_ARGB32_Premultiplied).copy();
        icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

}  // namespace

void configureApplication() {
    QApplication::setOrganizationName(shell::product::kOrganisation);
    QApplication::setApplicationName(shell::product::kName);
    // Every window shows this icon.
    QApplication::setWindowIcon(applicationIcon());
}

Program::Program() {
    shell::installDialogReporters();
    form1_ = std::make_unique<entry::Form1>();
    run_ = std::make_unique<generation::GenerationRun>(handOver());
    form1_->setGenerateHandler([this] { run_->PushButton22_Click(form1_->statement()); });
}

// The preview goes first: its closing ends the program, and nothing may outlive the main window it
// points back to.
Program::~Program() {
    form2_.reset();
}

void Program::start() {
    form1_->Form_Load();
    form1_->show();
}

preview::Form2& Program::preview() {
    if (!form2_) {
        form2_ = std::make_unique<preview::Form2>();
        form2_->Form_Load();
        form2_->setMainWindow(form1_.get());
    }
    return *form2_;
}

generation::HandOver Program::handOver() {
    generation::HandOver handOver;
    // Suspending updates is how a window stops drawing here; it draws everything again when resumed.
    handOver.suspendDrawing = [this](bool suspended) { form1_->setUpdatesEnabled(!suspended); };
    handOver.setMousePointer = [this](shell::MousePointer pointer) { form1_->setMousePointer(pointer); };
    handOver.setPicture = [this](const QImage& picture) { preview().setPicture(picture); };
    handOver.setWorkbookPath = [this](const QString& path) { preview().setExcelFile(path); };
    handOver.rearmFirstShow = [this] { preview().rearmFirstShow(); };
    handOver.showPreview = [this] { preview().show(); };
    handOver.hideMainWindow = [this] { form1_->hide(); };
    return handOver;
}

}  // namespace app
