#pragma once

#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <functional>
#include <vector>

namespace bench {

// Times of one stage over many rounds.
struct Stage {
    QString name;
    std::vector<double> milliseconds;

    void lap(const std::function<void()>& body) {
        QElapsedTimer timer;
        timer.start();
        body();
        milliseconds.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
};

// One line per stage: median, minimum and maximum in milliseconds.
void printStages(const std::vector<Stage>& stages);

// Start-up to the main window shown, one field write, and the click on "Start Creating Template" to the
// preview shown.
std::vector<Stage> timeWindows(int rounds);

// Recalculating a sheet of a thousand template formulas (bench/formula_timing.cpp).
Stage timeThousandFormulas(int rounds);
// The same with formulas that call the add-in's and the newer functions (bench/function_timing.cpp).
Stage timeThousandNewFunctionFormulas(int rounds);

// Recording a kept statement, the history window on a thousand entries, and their workbook export
// (bench/history_timing.cpp).
std::vector<Stage> timeHistory(int rounds);

}  // namespace bench
