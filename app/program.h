#pragma once

#include <QPointer>
#include <memory>

#include "generation/generation_run.h"

class QProgressBar;

namespace entry {
class Form1;
}
namespace preview {
class Form2;
}
namespace history {
class HistoryWindow;
}

namespace app {

// Names the running program for Qt (organisation, application, and the icon). Call once after the
// application object exists.
void configureApplication();

// The program as it runs: the main window, the preview window loaded by the first run that hands a sheet
// over to it, the generation run between them, and the error reports and notices shown in message boxes.
// main(), the benchmark and the end-to-end tests all assemble the program through this class.
class Program {
public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Loads the main window (restores the statement and checks that a spreadsheet application can be
    // created; without one the program has ended here) and shows it.
    void start();
    // Loads the main window as start() does but shows the history window instead (quillberry --history).
    void startWithHistory();

    entry::Form1& mainWindow() { return *form1_; }
    // The preview window, loaded on first use.
    preview::Form2& preview();
    bool previewLoaded() const { return form2_ != nullptr; }
    generation::GenerationRun& run() { return *run_; }

    // The history window, made on first use, shown and brought to the front.
    history::HistoryWindow& openHistory();
    history::HistoryWindow* historyWindow() { return history_.get(); }
    // Records the statement the preview shows, as its workbook holds it: the user kept it.
    void recordKeptStatement();

private:
    generation::HandOver handOver();
    void openInStatement(const shell::StatementRecord& statement);
    void showRunProgress(int percent);

    std::unique_ptr<entry::Form1> form1_;
    std::unique_ptr<preview::Form2> form2_;
    std::unique_ptr<generation::GenerationRun> run_;
    std::unique_ptr<history::HistoryWindow> history_;
    QPointer<QProgressBar> runProgress_;  // on the main window while a long run goes on
};

}  // namespace app
