// The statement history: recording one kept statement (its workbook read, the store opened and written),
// the history window opened on a thousand entries with its chart drawn, and those entries exported as a
// workbook with its chart.

#include <QApplication>
#include <QDate>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <stdexcept>

#include "bench/stage_timer.h"
#include "entry/sample_data.h"
#include "generation/statement_export.h"
#include "generation/statement_figures.h"
#include "history/chart_view.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "history/history_window.h"

namespace bench {

namespace {

constexpr int kEntries = 1000;

// A thousand month-end statements whose figures wander.
std::vector<generation::StatementFigures> thousandStatements(const generation::StatementFigures& base) {
    std::vector<generation::StatementFigures> statements;
    for (int i = 0; i < kEntries; ++i) {
        generation::StatementFigures f = base;
        f.date = QDate(1940, 1, 31).addMonths(i);
        f.totalAssets = 5'000'000 + qint64(i) * 12'345 + (i % 7) * 250'000;
        f.totalLiabilities = 2'000'000 + (i % 13) * 90'000;
        f.netWorth = f.totalAssets - f.totalLiabilities;
        statements.push_back(std::move(f));
    }
    return statements;
}

}  // namespace

std::vector<Stage> timeHistory(int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw std::runtime_error("no temporary folder");
    generation::ExportTargets targets;
    targets.workbook = dir.filePath(QStringLiteral("statement.xls"));
    if (!generation::ExportStatement(entry::sample::sampleStatement(QDate(2021, 3, 5)), targets))
        throw std::runtime_error("the statement workbook could not be made");
    const QString small = dir.filePath(QStringLiteral("small.sqlite"));
    const QString large = dir.filePath(QStringLiteral("large.sqlite"));

    std::vector<Stage> stages{{QStringLiteral("history: record one kept statement"), {}},
                              {QStringLiteral("history: open window + draw chart, 1,000"), {}},
                              {QStringLiteral("history: export .xls with chart, 1,000"), {}}};
    generation::StatementFigures base;
    for (int round = 0; round < rounds; ++round) {
        stages[0].lap([&] {
            auto figures = generation::readStatementFile(targets.workbook.toString(), QStringLiteral("USD"));
            history::HistoryStore store(small);
            base = std::get<generation::StatementFigures>(figures);
            base.date = base.date.addDays(round);
            store.record(base);
        });
    }
    history::HistoryStore(large).recordAll(thousandStatements(base));
    for (int round = 0; round < rounds; ++round) {
        stages[1].lap([&] {
            history::HistoryWindow window(large);
            window.resize(880, 640);
            window.show();
            QApplication::processEvents();
            QImage chart(window.chartView()->size(), QImage::Format_RGB32);
            window.chartView()->render(&chart);
        });
    }
    const auto entries = history::HistoryStore(large).summaries();
    if (entries.size() != size_t(kEntries))
        throw std::runtime_error("the history does not hold the entries recorded");
    for (int round = 0; round < rounds; ++round) {
        stages[2].lap([&] {
            history::historyFileBytes(history::HistoryFormat::Workbook, entries,
                                      QLocale(QLocale::English, QLocale::UnitedStates));
        });
    }
    return stages;
}

}  // namespace bench
