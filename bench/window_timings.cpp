#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <memory>

#include "bench/stage_timer.h"
#include "entry/form1.h"
#include "generation/generation_run.h"
#include "generation/window_hand_over.h"
#include "preview/form2.h"

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
    for (int round = 0; round < rounds; ++round) {
        std::unique_ptr<entry::Form1> form1;
        stages[0].lap([&] {
            form1 = std::make_unique<entry::Form1>();
            form1->Form_Load();
            form1->show();
            QApplication::processEvents();
        });
        std::unique_ptr<Form2> form2;
        generation::GenerationRun run(generation::windowHandOver(*form1, [&]() -> Form2& {
            if (!form2) {
                form2 = std::make_unique<Form2>();
                form2->setMainWindow(form1.get());
                form2->setProgramEnd([] {});
            }
            return *form2;
        }));
        for (int write = 0; write < 20; ++write)
            stages[1].lap([&] { form1->txtName->setText(QStringLiteral("Name %1").arg(write)); });
        form1->setGenerateHandler([&] { run.PushButton22_Click(form1->statement()); });
        form1->findChild<QPushButton*>(QStringLiteral("PushButton7"))->click();
        stages[2].lap([&] {
            form1->findChild<QPushButton*>(QStringLiteral("PushButton22"))->click();
            QApplication::processEvents();
        });
        // "< Back" removes the workbook, as a user going back would.
        form2->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
        form2.reset();
    }
    if (previousTemp.isNull()) {
        qunsetenv("TEMP");
    } else {
        qputenv("TEMP", previousTemp);
    }
    return stages;
}

}  // namespace bench
