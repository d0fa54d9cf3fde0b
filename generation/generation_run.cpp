#include "generation/generation_run.h"

#include <QDir>
#include <QFile>
#include <cerrno>

#include "generation/automation.h"
#include "generation/cell_map.h"
#include "generation/file_format.h"
#include "generation/picture_export.h"
#include "generation/run_progress.h"
#include "generation/temporary_folder.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/safe_file.h"

namespace generation {

namespace {
const QString kTemplateResource = QStringLiteral(":/CUSTOM/101");
const QString kTemplateName = QStringLiteral("template.xlt");
const QString kPictureName = QStringLiteral("temp.bmp");

QByteArray templateBytes() {
    QFile resource(kTemplateResource);
    if (!resource.open(QIODevice::ReadOnly))
        throw shell::RuntimeError(QStringLiteral("Resource not found: CUSTOM 101"));
    return resource.readAll();
}

QImage loadPicture(const QString& path) {
    // Only a picture file of the user's own, never one a link or another user put in a shared folder.
    const QByteArray bytes = shell::readOwnFile(path);
    QImage picture;
    // By content, whatever the extension says.
    if (!picture.loadFromData(bytes))
        throw shell::RuntimeError(QStringLiteral("Invalid picture: '%1'").arg(path));
    return picture;
}

// Puts the template at its path in T unless the user's own is there. When T or the path cannot be used
// at all, runEnds is left true; a failing write leaves it false and the run goes on.
void placeTemplate(const QString& path, const QByteArray& bytes, bool& runEnds) {
    runEnds = true;
    requireUsableTemporaryFolder();
    removeLeftoversInTemporaryFolder();
    const TemplateFile found = examineTemplatePath(path);
    runEnds = false;
    if (found == TemplateFile::Users)
        return;
    // Whole or not at all: a run cut short leaves no half template that a later run would take for
    // the user's own.
    shell::createNewFile(path, bytes);
    shell::rememberOwnFile(path);
}

QString noFreeName(const QString& lastTaken) {
    return shell::fileErrorText(
        EEXIST, lastTaken,
        QStringLiteral("%1 workbook names in a row were taken").arg(kWorkbookNameAttempts));
}

template <typename F>
void call(const F& member, auto&&... arguments) {
    if (member)
        member(std::forward<decltype(arguments)>(arguments)...);
}
}  // namespace

GenerationRun::GenerationRun(HandOver handOver)
    : handOver_(std::move(handOver)), fractions_(systemFractionSource()) {}

void GenerationRun::setFractionSource(FractionSource source) {
    fractions_ = source ? std::move(source) : systemFractionSource();
}

void GenerationRun::CreateExcelApp() {
    mExcelApp = CreateObject(QStringLiteral("Excel.Application"));
}

void GenerationRun::ReleaseExcelApp() {
    mExcelApp.reset();
}

Application& GenerationRun::excelApp() const {
    if (!mExcelApp)
        throw shell::RuntimeError(QStringLiteral("Object variable or With block variable not set"));
    return *mExcelApp;
}

void GenerationRun::PushButton22_Click(const shell::StatementRecord& statement) {
    shell::Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton22_Click"));
    lastPath_.clear();
    QByteArray bytes;
    QString name;
    QString path;
    std::shared_ptr<Application> instanceB;
    Workbook bookB;

    // Shares of the run's work, as they go on a large template: calculating before the save, writing
    // the workbook, reading it back, drawing its picture and loading it.
    RunProgress progress(handOver_.showProgress);
    p.step(100, [&] { call(handOver_.suspendDrawing, true); });
    p.step(102, [&] { call(handOver_.setMousePointer, shell::MousePointer::Hourglass); });
    p.step(104, [&] {
        CreateExcelApp();
        excelApp().setCalculationProgress(
            [&progress](qint64 done, qint64 total) { progress.reachWithin(10, 55, done, total); });
    });
    p.step(106, [&] { bytes = templateBytes(); });
    // T is checked at the first step that needs it, and a T that cannot be used ends the run with that
    // one report rather than a report from every later step.
    bool runEnds = false;
    p.step(108, [&] { placeTemplate(temporaryPath(kTemplateName), bytes, runEnds); });
    if (runEnds) {
        ReleaseExcelApp();
        mExcelBook = {};
        call(handOver_.setMousePointer, shell::MousePointer::Default);
        call(handOver_.suspendDrawing, false);
        return;
    }
    p.step(110, [&] { mExcelBook = excelApp().Workbooks().Open(temporaryPath(kTemplateName), true); });
    progress.reach(10);

    for (const CellWrite& write : statementCells(statement))
        p.step(write.line, [&] { writeCell(excelApp().Worksheets(1), write); });
    p.step(140, [&] { excelApp().Range(QStringLiteral("B6")).Select(); });
    p.step(142, [&] { excelApp().setVisible(false); });

    // A new name, all eight digits drawn afresh, until one is free: anything at the path, a dangling
    // link included, takes it. The free path is claimed at once by creating the file, so nothing can
    // take it before the save. The search gives up after kWorkbookNameAttempts names.
    bool taken = true;
    const auto claim = [&](int attempt) {
        taken = !shell::reserveNewFile(path);
        if (taken && attempt == kWorkbookNameAttempts)
            throw shell::RuntimeError(noFreeName(path));
    };
    for (int attempt = 1; taken; ++attempt) {
        const bool drawn = p.step(144, [&] { name = drawWorkbookName(fractions_); }) &&
                           p.step(156, [&] { path = temporaryPath(name + QStringLiteral(".xls")); }) &&
                           p.step(158, [&] { claim(attempt); });
        if (!drawn) {
            path.clear();  // the run saves nothing over a path it does not hold
            break;
        }
    }
    shell::rememberOwnFile(path);
    lastPath_ = path;

    const bool saved = p.step(160, [&] {
        mExcelBook.SaveAs(path, GetXlsFileFormat(mExcelApp));
        shell::rememberOwnFile(path);
    });
    // A workbook that was not saved keeps its claimed, empty file: the name stays the run's, so nothing
    // put there by someone else in a shared folder is opened, shown or copied later, and later reports
    // and the preview still name the workbook the run meant to write. The preview deletes it as usual.
    progress.reach(65);
    p.step(162, [&] { excelApp().setDisplayAlerts(false); });
    p.step(164, [&] { mExcelBook.Close(); });
    p.step(166, [&] { excelApp().Quit(); });
    p.step(168, [&] {
        ReleaseExcelApp();
        mExcelBook = {};
    });

    p.step(170, [&] {
        if (path.isEmpty())
            throw shell::RuntimeError(QStringLiteral("No workbook was saved, so none can be opened"));
        if (!saved)
            throw shell::RuntimeError(QStringLiteral("'%1' was not saved, so it cannot be opened")
                                          .arg(QDir::toNativeSeparators(path)));
        instanceB = OpenWorkbookInNewExcel(path);
    });
    progress.reach(75);
    p.step(172, [&] { call(handOver_.setMousePointer, shell::MousePointer::Hourglass); });
    const auto b = [&]() -> Application& {
        if (!instanceB)
            throw shell::RuntimeError(QStringLiteral("Object variable or With block variable not set"));
        return *instanceB;
    };
    p.step(174, [&] { bookB = b().Workbooks(b().Workbooks().count()); });
    p.step(176, [&] { saveCellsActivesheet(bookB, temporaryPath(kPictureName)); });
    progress.reach(95);
    p.step(178, [&] { b().setDisplayAlerts(false); });
    p.step(180, [&] { bookB.Close(); });
    p.step(182, [&] { b().Quit(); });
    p.step(184, [&] { call(handOver_.setMousePointer, shell::MousePointer::Default); });

    // Without a picture the preview shows none, never the one an earlier run left it.
    if (!p.step(186, [&] { call(handOver_.setPicture, loadPicture(temporaryPath(kPictureName))); }))
        call(handOver_.setPicture, QImage());
    progress.reach(100);
    p.step(188, [&] { call(handOver_.setWorkbookPath, path); });
    p.step(190, [&] {
        call(handOver_.rearmFirstShow);
        call(handOver_.showPreview);
    });
    p.step(192, [&] { call(handOver_.hideMainWindow); });
    p.step(194, [&] { shell::DeleteFileQuietly(temporaryPath(kPictureName)); });
    p.step(196, [&] { shell::DeleteFileQuietly(temporaryPath(kTemplateName)); });
    progress.finish();
    call(handOver_.suspendDrawing, false);
}

}  // namespace generation
