#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QResource>
#include <cmath>

#include "entry/form1.h"
#include "preview/form2.h"
#include "shell/core/product.h"
#include "shell/ui/dialog_reporters.h"

namespace app {

namespace {

// The icon's pictures are stored as their pixels, one square size per folder (see
// resources/icon_pixels.cpp); the size follows from the number of pixels.
QIcon applicationIcon() {
    QIcon icon;
    const QDir folder(shell::product::kIconResourceFolder);
    for (const QString& sizeFolder : folder.entryList(QDir::Dirs)) {
        const QResource pixels(folder.filePath(sizeFolder + QStringLiteral("/quillberry.pixels")));
        const int size = static_cast<int>(std::lround(std::sqrt(static_cast<double>(pixels.size()) / 4)));
        if (pixels.compressionAlgorithm() != QResource::NoCompression || size == 0 ||
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
