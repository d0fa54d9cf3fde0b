#include "app/program.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QProgressBar>
#include <QResource>
#include <cmath>

#include "entry/form1.h"
#include "generation/statement_figures.h"
#include "history/history_export.h"
#include "history/history_window.h"
#include "preview/form2.h"
#include "shell/core/error_report.h"
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
    QObject::connect(form1_.get(), &entry::Form1::historyRequested, [this] { openHistory(); });
}

// The preview goes first: its closing ends the program, and nothing may outlive the main window it
// points back to. The history window puts statements into the main window, so it goes before it too.
Program::~Program() {
    form2_.reset();
    history_.reset();
}

void Program::start() {
    form1_->Form_Load();
    form1_->show();
}

void Program::startWithHistory() {
    form1_->Form_Load();
    openHistory();
}

history::HistoryWindow& Program::openHistory() {
    if (!history_) {
        history_ = std::make_unique<history::HistoryWindow>();
        history_->setStatementOpener(
            [this](const shell::StatementRecord& statement) { openInStatement(statement); });
    }
    history_->show();
    history_->raise();
    history_->activateWindow();
    return *history_;
}

// The statement goes into the main window's fields, which store themselves. While the preview is up the
// main window stays hidden behind it, as always, and shows the statement when the user goes back.
void Program::openInStatement(const shell::StatementRecord& statement) {
    form1_->showStatement(statement);
    if (form2_ && form2_->isVisible())
        return;
    form1_->show();
    form1_->raise();
    form1_->activateWindow();
}

void Program::recordKeptStatement() {
    shell::Procedure p(QStringLiteral("Form2"), QStringLiteral("RecordStatement"));
    const QString workbook = form2_ ? form2_->excelFile() : QString();
    p.step(100, [&] {
        auto figures = generation::readStatementFile(workbook, history::regionalCurrency());
        if (const auto* refused = std::get_if<generation::NotAStatement>(&figures))
            throw shell::RuntimeError(QStringLiteral("The statement could not be recorded in the history: ") +
                                      refused->reason);
        history::HistoryStore store;
        if (!store.isReady())
            throw shell::RuntimeError(store.problem());
        store.record(std::get<generation::StatementFigures>(figures));
    });
    if (history_)
        history_->reload();
}

preview::Form2& Program::preview() {
    if (!form2_) {
        form2_ = std::make_unique<preview::Form2>();
        form2_->Form_Load();
        form2_->setMainWindow(form1_.get());
        QObject::connect(form2_.get(), &preview::Form2::statementKept, [this] { recordKeptStatement(); });
        QObject::connect(form2_.get(), &preview::Form2::historyRequested, [this] { openHistory(); });
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
    handOver.showProgress = [this](int percent) { showRunProgress(percent); };
    return handOver;
}

// A long run shows how far it has come at the foot of the main window, beside the busy pointer. The
// window's drawing, suspended for the run, resumes for it, and the window takes the events that paint
// the bar and change the pointer, none of the user's input: the run goes on undisturbed.
void Program::showRunProgress(int percent) {
    if (percent < 0) {
        delete runProgress_;
        return;
    }
    if (!runProgress_) {
        runProgress_ = new QProgressBar(form1_.get());
        runProgress_->setRange(0, 100);
        runProgress_->setAccessibleName(QStringLiteral("Progress"));
    }
    const int height = runProgress_->sizeHint().height();
    runProgress_->setGeometry(0, form1_->height() - height, form1_->width(), height);
    runProgress_->setValue(percent);
    runProgress_->show();
    runProgress_->raise();
    form1_->setUpdatesEnabled(true);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace app
