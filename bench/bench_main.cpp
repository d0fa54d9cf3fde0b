// quillberry-bench: times the stages of a generation job, writes the embedded template, or runs one job.
//
//   quillberry-bench                                   time every stage many times; print median, min, max
//   quillberry-bench --template OUT.xlt                write the embedded template byte for byte
//   quillberry-bench --job TEMPLATE.xlt OUT.xls [--picture OUT.bmp]
//                                                      one job as the run does it, without windows
//   quillberry-bench --startup N [PROGRAM...]          start-up as processes against bare Qt windows
//                                                      and other builds of the program, if given
//                                                      (needs an X display; bench/startup.sh makes one)
//   quillberry-bench --job-process N                   the whole job as a process, N times
//   quillberry-bench --export-process N                quillberry --export-pdf as a process, N times
//   quillberry-bench --history                         only the history's stages
//   quillberry-bench --growth [ROWS ...]               the job and a recalculation on the template grown
//                                                      by ROWS rows (100 1000 10000), beside gnumeric

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/growth_timing.h"
#include "bench/pdf_timing.h"
#include "bench/process_timing.h"
#include "bench/stage_timer.h"
#include "entry/sample_data.h"
#include "generation/automation.h"
#include "generation/cell_map.h"
#include "generation/picture_export.h"
#include "shell/core/error_report.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"

namespace {

constexpr int kRounds = 60;
constexpr int kWindowRounds = 15;
const QString kTemplateResource = QStringLiteral(":/CUSTOM/101");

struct Failure {
    QString message;
};

// Error reports of the picture export cannot be answered by anyone here: they end the job.
QStringList& reportedErrors() {
    static QStringList errors;
    return errors;
}

QByteArray templateBytes() {
    QFile resource(kTemplateResource);
    if (!resource.open(QIODevice::ReadOnly))
        throw Failure{QStringLiteral("the embedded template is missing")};
    return resource.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.flush())
        throw Failure{QStringLiteral("cannot write %1: %2").arg(path, out.errorString())};
}

// Opens the template read-only, writes the statement, selects B6 and saves with format 56.
void fillAndSave(const QString& templatePath, const QString& outPath) {
    auto app = generation::CreateObject(QStringLiteral("Excel.Application"));
    generation::Workbook book = app->Workbooks().Open(templatePath, true);
    for (const auto& write : generation::statementCells(entry::sample::sampleStatement(QDate(2021, 3, 5))))
        generation::writeCell(app->Worksheets(1), write);
    app->Range(QStringLiteral("B6")).Select();
    app->setVisible(false);
    book.SaveAs(outPath, generation::xlExcel8);
    app->setDisplayAlerts(false);
    book.Close();
    app->Quit();
}

void exportPicture(const QString& workbookPath, const QString& picturePath) {
    reportedErrors().clear();
    auto app = generation::OpenWorkbookInNewExcel(workbookPath);
    generation::saveCellsActivesheet(app->Workbooks(app->Workbooks().count()), picturePath);
    app->setDisplayAlerts(false);
    app->Quit();
    if (!reportedErrors().isEmpty())
        throw Failure{reportedErrors().join(QLatin1Char('\n'))};
    if (!QFile::exists(picturePath))
        throw Failure{QStringLiteral("no picture was written")};
}

// Exits 3 when the workbook was saved but its used range is past the picture's bound.
int runJob(const QString& templatePath, const QString& outPath, const QString& picturePath) {
    fillAndSave(templatePath, outPath);
    if (!picturePath.isEmpty()) {
        try {
            exportPicture(outPath, picturePath);
        } catch (const Failure& failure) {
            if (failure.message.contains(QLatin1String("The picture is too large")))
                return 3;
            throw;
        }
    }
    return 0;
}

int runHistoryTimings() {
    auto stages = bench::timeHistory(kWindowRounds);
    bench::printStages(stages);
    return 0;
}

int runTimings() {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw Failure{QStringLiteral("no temporary folder")};
    const QString templatePath = dir.filePath(QStringLiteral("template.xlt"));
    const QString outPath = dir.filePath(QStringLiteral("vornik12345678.xls"));
    const QString picturePath = dir.filePath(QStringLiteral("temp.bmp"));
    writeFile(templatePath, templateBytes());
    const auto statement = entry::sample::sampleStatement(QDate(2021, 3, 5));
    const auto writes = generation::statementCells(statement);

    std::vector<bench::Stage> stages{{QStringLiteral("open template"), {}},
                                     {QStringLiteral("write the 36 cells"), {}},
                                     {QStringLiteral("recalculate"), {}},
                                     {QStringLiteral("save .xls"), {}},
                                     {QStringLiteral("open template, write 36, save"), {}},
                                     {QStringLiteral("open saved in new instance"), {}},
                                     {QStringLiteral("render used range"), {}},
                                     {QStringLiteral("write BMP"), {}},
                                     {QStringLiteral("picture export (open..BMP)"), {}},
                                     {QStringLiteral("whole job"), {}}};
    const auto lap = [&](std::size_t stage, const std::function<void()>& body) { stages[stage].lap(body); };

    for (int round = 0; round < kRounds; ++round) {
        auto app = generation::CreateObject(QStringLiteral("Excel.Application"));
        generation::Workbook book;
        lap(0, [&] { book = app->Workbooks().Open(templatePath, true); });
        lap(1, [&] {
            for (const auto& write : writes)
                generation::writeCell(app->Worksheets(1), write);
        });
        spreadsheet::Workbook model = book.model();
        lap(2, [&] { spreadsheet::recalculate(model); });
        lap(3, [&] { book.SaveAs(outPath, generation::xlExcel8); });
        app->Quit();

        lap(4, [&] { fillAndSave(templatePath, outPath); });

        std::shared_ptr<generation::Application> second;
        lap(5, [&] { second = generation::OpenWorkbookInNewExcel(outPath); });
        const auto& saved = second->ActiveWorkbook().model();
        const int sheet = saved.activeSheetIndex();
        const auto used =
            saved.sheets[static_cast<std::size_t>(sheet)].usedRange().value_or(spreadsheet::CellRange{});
        QImage picture;
        lap(6, [&] { picture = spreadsheet::renderRange(saved, sheet, used); });
        lap(7, [&] {
            if (!picture.save(picturePath, "BMP"))
                throw Failure{QStringLiteral("cannot write %1").arg(picturePath)};
        });
        second->Quit();

        lap(8, [&] { exportPicture(outPath, picturePath); });
        lap(9, [&] { runJob(templatePath, outPath, picturePath); });
    }
    for (auto& stage : bench::timePdfExport(kRounds))
        stages.push_back(std::move(stage));
    for (auto& stage : bench::timeWindows(kWindowRounds))
        stages.push_back(std::move(stage));
    stages.push_back(bench::timeThousandFormulas(kRounds));
    stages.push_back(bench::timeThousandNewFunctionFormulas(kRounds));
    for (auto& stage : bench::timeHistory(kWindowRounds))
        stages.push_back(std::move(stage));
    bench::printStages(stages);
    return 0;
}

void usage() {
    std::fprintf(stderr,
                 "usage: quillberry-bench\n"
                 "       quillberry-bench --template OUT.xlt\n"
                 "       quillberry-bench --job TEMPLATE.xlt OUT.xls [--picture OUT.bmp]\n"
                 "       quillberry-bench --startup ROUNDS [PROGRAM...]\n"
                 "       quillberry-bench --job-process ROUNDS\n"
                 "       quillberry-bench --export-process ROUNDS\n"
                 "       quillberry-bench --history\n"
                 "       quillberry-bench --growth [ROWS ...]\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Drawing needs fonts, and the windowed stages need widgets; nothing needs a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Every process of the benchmark, the programs it starts included, shares one private runtime folder.
    QTemporaryDir runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtime.isValid()) {
        QFile::setPermissions(runtime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    }
    QApplication app(argc, argv);
    shell::setErrorReporter([](const shell::ErrorReport& report) { reportedErrors() << report.text(); });
    const QStringList args = app.arguments().mid(1);
    try {
        if (args.isEmpty())
            return runTimings();
        if (args.size() >= 2 && args[0] == QStringLiteral("--startup"))
            return bench::timeStartUp(std::max(1, args[1].toInt()), args.mid(2));
        if (args.size() == 2 && args[0] == QStringLiteral("--job-process"))
            return bench::timeJobProcess(std::max(1, args[1].toInt()));
        if (args.size() == 2 && args[0] == QStringLiteral("--export-process"))
            return bench::timeExportProcess(std::max(1, args[1].toInt()));
        if (args.size() == 1 && args[0] == QStringLiteral("--history"))
            return runHistoryTimings();
        if (!args.isEmpty() && args[0] == QStringLiteral("--growth")) {
            std::vector<int> sizes;
            for (const QString& rows : args.mid(1))
                sizes.push_back(std::max(1, rows.toInt()));
            if (sizes.empty())
                sizes = {100, 1000, 10000};
            return bench::timeGrowth(templateBytes(), sizes);
        }
        if (args.size() == 2 && args[0] == QStringLiteral("--template")) {
            writeFile(args[1], templateBytes());
            return 0;
        }
        if ((args.size() == 3 || args.size() == 5) && args[0] == QStringLiteral("--job")) {
            QString picture;
            if (args.size() == 5) {
                if (args[3] != QStringLiteral("--picture")) {
                    usage();
                    return 2;
                }
                picture = args[4];
            }
            return runJob(args[1], args[2], picture);
        }
        usage();
        return 2;
    } catch (const Failure& failure) {
        std::fprintf(stderr, "quillberry-bench: %s\n", qPrintable(failure.message));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quillberry-bench: %s\n", qPrintable(shell::describe(error)));
    }
    return 1;
}
