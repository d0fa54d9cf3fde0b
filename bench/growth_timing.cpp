// How the job grows with the template: the statement template with N more rows of ordinary formulas,
// timed as whole jobs (processes, as a user runs them), as recalculations in this process, and beside
// gnumeric's load-recalculate-save of the same file.

#include "bench/growth_timing.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <map>

#include "spreadsheet/calculation.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"

extern char** environ;

namespace bench {

namespace {

constexpr int kFirstRow = 38;  // 1-based: below the statement's last used row (36) and one empty row
constexpr int kTableRows = 20;

struct ProcessRun {
    double milliseconds = -1;
    double peakMegabytes = -1;
    bool ok = false;
    bool overPictureBound = false;  // the workbook saved, no picture: the used range is past the bound
};

// Runs a program to its end, its output thrown away, with its time and its peak resident memory.
ProcessRun runProcess(const QString& program, const QStringList& arguments) {
    std::vector<QByteArray> storage{QFile::encodeName(program)};
    for (const QString& argument : arguments)
        storage.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& a : storage)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ProcessRun run;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv.front(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.milliseconds = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.overPictureBound = WIFEXITED(status) && WEXITSTATUS(status) == 3;
    return run;
}

// The best of a few runs: the least disturbed by whatever else the machine does.
ProcessRun bestOf(int rounds, const QString& program, const QStringList& arguments) {
    ProcessRun best;
    for (int i = 0; i < rounds; ++i) {
        const ProcessRun run = runProcess(program, arguments);
        if (!run.ok && !run.overPictureBound)
            return run;
        if (best.milliseconds < 0 || run.milliseconds < best.milliseconds)
            best = run;
    }
    return best;
}

template <typename Body>
double bestTime(int rounds, Body&& body) {
    double best = -1;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        body();
        const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
        if (best < 0 || ms < best)
            best = ms;
    }
    return best;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "quillberry-bench: cannot write %s\n", qPrintable(path));
}

double exponent(double small, double large, int smallRows, int largeRows) {
    if (small <= 0 || large <= 0)
        return 0;
    return std::log(large / small) / std::log(double(largeRows) / smallRows);
}

struct Figures {
    ProcessRun job;
    ProcessRun jobWithPicture;
    ProcessRun gnumeric;
    double recalculation = -1;
    double afterChange = -1;  // a calculation after one amount in the middle of the rows changed
    qint64 afterChangeCount = 0;
};

void printRun(const char* label, const ProcessRun& run) {
    if (run.milliseconds < 0)
        std::printf("  %-34s %12s\n", label, "-");
    else if (run.overPictureBound)
        std::printf("  %-34s %12.1f %10.1f   (workbook saved; no picture: past the bound)\n", label,
                    run.milliseconds, run.peakMegabytes);
    else if (!run.ok)
        std::printf("  %-34s %12s\n", label, "failed");
    else
        std::printf("  %-34s %12.1f %10.1f\n", label, run.milliseconds, run.peakMegabytes);
}

}  // namespace

spreadsheet::Workbook grownTemplate(const QByteArray& templateBytes, int rows) {
    using namespace spreadsheet;
    Workbook workbook = readWorkbookBytes(templateBytes);
    Worksheet& sheet = workbook.sheets.front();
    const auto put = [&](int row, int column, Value value) {
        sheet.cellForWriting({row - 1, column - 1}).value = std::move(value);
    };
    const auto putFormula = [&](int row, int column, const QString& text) {
        Cell& cell = sheet.cellForWriting({row - 1, column - 1});
        cell.formula = compileFormula(text);
        cell.value = 0.0;
    };
    // The look-up table: keys 0 to 19 in I, a rate for each in J.
    for (int k = 0; k < kTableRows; ++k) {
        put(kFirstRow + k, 9, double(k));
        put(kFirstRow + k, 10, 0.5 + k * 0.25);
    }
    const QString table = QStringLiteral("$I$%1:$J$%2").arg(kFirstRow).arg(kFirstRow + kTableRows - 1);
    for (int i = 0; i < rows; ++i) {
        const int r = kFirstRow + i;
        const QString n = QString::number(r);
        put(r, 1, QStringLiteral("Line %1").arg(i + 1));
        put(r, 2, double(100 + (i * 37) % 101));
        putFormula(r, 3, i == 0 ? QStringLiteral("B") + n : QStringLiteral("C%1+B%2").arg(r - 1).arg(r));
        putFormula(r, 4, QStringLiteral("SUM($B$6:B%1)").arg(r));
        putFormula(r, 5, QStringLiteral("IF(B%1>150,\"above\",\"below\")").arg(r));
        putFormula(r, 6, QStringLiteral("VLOOKUP(MOD(B%1,20),%2,2,FALSE)").arg(r).arg(table));
        putFormula(r, 7, QStringLiteral("ROUND(D%1/7,2)").arg(r));
    }
    return workbook;
}

int timeGrowth(const QByteArray& templateBytes, const std::vector<int>& sizes) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString bench = QCoreApplication::applicationFilePath();
    const QString ssconvert = QStandardPaths::findExecutable(QStringLiteral("ssconvert"));
    std::map<int, Figures> figures;
    std::printf("the template grown by N rows: job as a process (best of 3), ms and peak MB\n");
    for (int rows : sizes) {
        const spreadsheet::Workbook grown = grownTemplate(templateBytes, rows);
        const QByteArray bytes = spreadsheet::workbookFileBytes(grown);
        const QString templatePath = dir.filePath(QStringLiteral("grown%1.xlt").arg(rows));
        const QString xlsPath = dir.filePath(QStringLiteral("grown%1.xls").arg(rows));
        writeFile(templatePath, bytes);
        writeFile(xlsPath, bytes);
        const int rounds = rows >= 10000 ? 1 : 3;
        Figures& f = figures[rows];
        const QString out = dir.filePath(QStringLiteral("out.xls"));
        f.job = bestOf(rounds, bench, {QStringLiteral("--job"), templatePath, out});
        f.jobWithPicture = bestOf(rounds, bench,
                                  {QStringLiteral("--job"), templatePath, out, QStringLiteral("--picture"),
                                   dir.filePath(QStringLiteral("temp.bmp"))});
        if (!ssconvert.isEmpty())
            f.gnumeric = bestOf(rounds, ssconvert,
                                {QStringLiteral("--recalc"), xlsPath, dir.filePath(QStringLiteral("g.xls"))});
        spreadsheet::Workbook model = spreadsheet::readWorkbookBytes(bytes);
        f.recalculation = bestTime(rounds, [&] { spreadsheet::recalculate(model); });
        {
            spreadsheet::Calculation calculation(model);
            calculation.markAll();
            calculation.calculate();
            const spreadsheet::CellRef amount{kFirstRow - 1 + rows / 2, 1};
            double typed = 100;
            f.afterChange = bestTime(rounds, [&] {
                model.sheets.front().cellForWriting(amount).value = typed++;
                calculation.cellChanged(0, amount);
                calculation.calculate();
            });
            f.afterChangeCount = calculation.lastCount();
        }

        std::printf("N = %d rows (%.0f KB file)\n", rows, bytes.size() / 1024.0);
        printRun("job, no picture", f.job);
        printRun("job with picture", f.jobWithPicture);
        printRun("gnumeric ssconvert --recalc", ssconvert.isEmpty() ? ProcessRun{} : f.gnumeric);
        std::printf("  %-34s %12.1f\n", "full recalculation (in process)", f.recalculation);
        std::printf("  %-34s %12.1f   (%lld formulas)\n", "after one change (in process)", f.afterChange,
                    static_cast<long long>(f.afterChangeCount));
        std::fflush(stdout);
    }
    std::printf("growth exponents (time ~ N^k):\n");
    for (auto it = figures.begin(); std::next(it) != figures.end(); ++it) {
        const auto& [small, a] = *it;
        const auto& [large, b] = *std::next(it);
        std::printf("  %d -> %d rows: job %.2f, job with picture %.2f, recalculation %.2f, gnumeric %.2f\n",
                    small, large, exponent(a.job.milliseconds, b.job.milliseconds, small, large),
                    exponent(a.jobWithPicture.milliseconds, b.jobWithPicture.milliseconds, small, large),
                    exponent(a.recalculation, b.recalculation, small, large),
                    exponent(a.gnumeric.milliseconds, b.gnumeric.milliseconds, small, large));
    }
    return 0;
}

}  // namespace bench
