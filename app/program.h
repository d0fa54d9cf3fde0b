#pragma once

#include <memory>

#include "generation/generation_run.h"

namespace entry {
class Form1;
}
namespace preview {
class Form2;
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

    entry::Form1& mainWindow() { return *form1_; }
    // The preview window, loaded on first use.
    preview::Form2& preview();
    bool previewLoaded() const { return form2_ != nullptr; }
    generation::GenerationRun& run() { return *run_; }

private:
    generation::HandOver handOver();

    std::unique_ptr<entry::Form1> form1_;
    std::unique_ptr<preview::Form2> form2_;
    std::unique_ptr<generation::GenerationRun> run_;
};

}  // namespace app
