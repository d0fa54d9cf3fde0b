#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "app/program.h"
#include "bench/stage_timer.h"
#include "entry/form1.h"
#include "preview/form2.h"
#include "shell/core/shutdown.h"
#include "shell/ui/message_boxes.h"

namespace bench {

void printStages(const std::vector<Stage>& stages) {
    std::printf("%-36s %10s %10s %10s %7s\n", "stage (ms)", "median", "min", "max", "rounds");
    for (const auto& stage : stages) {
        auto times = stage.milliseconds;
        if (times.empty())
            continue;
        std::sort(times.begin(), times.end());
        const std::size_t n = times.size();
        const double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
        std::printf("%-36s %10.3f %10.3f %10.3f %7zu\n", qPrintable(stage.name), median, times.front(),
                    times.back(), n);
    }
}

std::vector<Stage> timeWindows(int rounds) {
    // The statement is restored from and written to a settings store of its own, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir temp;
    const QByteArray previousTemp = qgetenv("TEMP");
    qputenv("TEMP", QFile::encodeName(temp.path()));

    std::vector<Stage> stages{{QStringLiteral("start-up to main window shown"), {}},
                              {QStringLiteral("one field write (change, store, sync)"), {}},
                              {QStringLiteral("click to preview shown (windows)"), {}}};
    // Nobody answers a report here, and the preview's closing must not end the benchmark.
    shell::setEndProgramHandler([](int) {});
    shell::MessageBoxes::setHandler([](const shell::MessageRequest&) { return shell::MessageAnswer::Ok; });
    for (int round = 0; round < rounds; ++round) {
        std::unique_ptr<app::Program> program;
        stages[0].lap([&] {
            program = std::make_unique<app::Program>();
            program->start();
            QApplication::processEvents();
        });
        entry::Form1& form1 = program->mainWindow();
        auto* name = form1.findChild<QLineEdit*>(QStringLiteral("txtName"));
        for (int write = 0; write < 20; ++write)
            stages[1].lap([&] { name->setText(QStringLiteral("Name %1").arg(write)); });
        form1.findChild<QPushButton*>(QStringLiteral("PushButton7"))->click();
        stages[2].lap([&] {
            form1.findChild<QPushButton*>(QStringLiteral("PushButton22"))->click();
            QApplication::processEvents();
        });
        // "< Back" removes the workbook, as a user going back would.
        program->preview().findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
    }
    shell::setEndProgramHandler({});
    shell::MessageBoxes::setHandler({});
    if (previousTemp.isNull()) {
        qunsetenv("TEMP");
    } else {
        qputenv("TEMP", previousTemp);
    }
    return stages;
}

}  // namespace bench
