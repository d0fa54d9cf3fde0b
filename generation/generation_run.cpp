#include "generation/generation_run.h"

#include <QFile>

#include "generation/automation.h"
#include "generation/cell_map.h"
#include "generation/file_format.h"
#include "generation/picture_export.h"
#include "generation/temporary_folder.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"

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
    if (!shell::FileExists(path))
        throw shell::RuntimeError(QStringLiteral("File not found: '%1'").arg(path));
    QImage picture;
    // By content, whatever the extension says.
    if (!picture.load(path))
        throw shell::RuntimeError(QStringLiteral("Invalid picture: '%1'").arg(path));
    return picture;
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

void GenerationRun::PushButton22_Click(const StatementRecord& statement) {
    shell::Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton22_Click"));
    QByteArray bytes;
    QString name;
    QString path;
    std::shared_ptr<Application> instanceB;
    Workbook bookB;

    p.step(100, [&] { call(handOver_.suspendDrawing, true); });
    p.step(102, [&] { call(handOver_.setMousePointer, shell::MousePointer::Hourglass); });
    p.step(104, [&] { CreateExcelApp(); });
    p.step(106, [&] { bytes = templateBytes(); });
    p.step(108, [&] {
        if (!shell::FileExists(temporaryPath(kTemplateName)))
            shell::WriteBytesToFile(bytes, temporaryPath(kTemplateName));
    });
    p.step(110, [&] { mExcelBook = excelApp().Workbooks().Open(temporaryPath(kTemplateName), true); });

    for (const CellWrite& write : statementCells(statement))
        p.step(write.line, [&] { writeCell(excelApp().Worksheets(1), write); });
    p.step(140, [&] { excelApp().Range(QStringLiteral("B6")).Select(); });
    p.step(142, [&] { excelApp().setVisible(false); });

    // A new name, all eight digits drawn afresh, until it names no file.
    for (bool taken = true; taken;) {
        p.step(144, [&] { name = drawWorkbookName(fractions_); });
        p.step(156, [&] { path = temporaryPath(name + QStringLiteral(".xls")); });
        taken = false;
        p.step(158, [&] { taken = shell::FileExists(path); });
    }
    lastPath_ = path;

    p.step(160, [&] { mExcelBook.SaveAs(path, GetXlsFileFormat(mExcelApp)); });
    p.step(162, [&] { excelApp().setDisplayAlerts(false); });
    p.step(164, [&] { mExcelBook.Close(); });
    p.step(166, [&] { excelApp().Quit(); });
    p.step(168, [&] {
        ReleaseExcelApp();
        mExcelBook = {};
    });

    p.step(170, [&] { instanceB = OpenWorkbookInNewExcel(path); });
    p.step(172, [&] { call(handOver_.setMousePointer, shell::MousePointer::Hourglass); });
    const auto b = [&]() -> Application& {
        if (!instanceB)
            throw shell::RuntimeError(QStringLiteral("Object variable or With block variable not set"));
        return *instanceB;
    };
    p.step(174, [&] { bookB = b().Workbooks(b().Workbooks().count()); });
    p.step(176, [&] { saveCellsActivesheet(bookB, temporaryPath(kPictureName)); });
    p.step(178, [&] { b().setDisplayAlerts(false); });
    p.step(180, [&] { bookB.Close(); });
    p.step(182, [&] { b().Quit(); });
    p.step(184, [&] { call(handOver_.setMousePointer, shell::MousePointer::Default); });

    p.step(186, [&] { call(handOver_.setPicture, loadPicture(temporaryPath(kPictureName))); });
    p.step(188, [&] { call(handOver_.setWorkbookPath, path); });
    p.step(190, [&] {
        call(handOver_.rearmFirstShow);
        call(handOver_.showPreview);
    });
    p.step(192, [&] { call(handOver_.hideMainWindow); });
    p.step(194, [&] { shell::DeleteFileQuietly(temporaryPath(kPictureName)); });
    p.step(196, [&] { shell::DeleteFileQuietly(temporaryPath(kTemplateName)); });
    call(handOver_.suspendDrawing, false);
}

}  // namespace generation
