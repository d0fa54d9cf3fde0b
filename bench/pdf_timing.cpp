#include "bench/pdf_timing.h"

#include <QBuffer>
#include <QFile>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "entry/sample_data.h"
#include "generation/application.h"
#include "generation/automation.h"
#include "generation/cell_map.h"
#include "generation/statement_export.h"
#include "generation/statement_output.h"
#include "spreadsheet/error.h"
#include "spreadsheet/page_printer.h"
#include "spreadsheet/workbook_reader.h"

namespace bench {

namespace {

spreadsheet::Workbook filledStatement(const QTemporaryDir& dir) {
    QFile resource(QStringLiteral(":/CUSTOM/101"));
    const QString templatePath = dir.filePath(QStringLiteral("template.xlt"));
    const QString workbookPath = dir.filePath(QStringLiteral("statement.xls"));
    if (!resource.open(QIODevice::ReadOnly) || !resource.copy(templatePath))
        throw spreadsheet::SpreadsheetError(QStringLiteral("the embedded template is missing"));
    auto app = generation::CreateObject(QStringLiteral("Excel.Application"));
    generation::Workbook book = app->Workbooks().Open(templatePath, true);
    for (const auto& write : generation::statementCells(entry::sample::sampleStatement(QDate(2021, 3, 5))))
        generation::writeCell(app->Worksheets(1), write);
    book.SaveAs(workbookPath, generation::xlExcel8);
    app->setDisplayAlerts(false);
    book.Close();
    app->Quit();
    return spreadsheet::readWorkbookFile(workbookPath);
}

spreadsheet::PrintOptions options() {
    spreadsheet::PrintOptions print;
    print.title = QStringLiteral("Personal Financial Statement");
    print.printed = QDateTime(QDate(2021, 3, 5), QTime(9, 0));
    return print;
}

}  // namespace

std::vector<Stage> timePdfExport(int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid())
        throw spreadsheet::SpreadsheetError(QStringLiteral("no temporary folder"));
    const spreadsheet::Workbook statement = filledStatement(dir);
    const QString pdfPath = dir.filePath(QStringLiteral("statement.pdf"));

    std::vector<Stage> stages{{QStringLiteral("PDF export to file (in process)"), {}},
                              {QStringLiteral("PDF export to memory"), {}},
                              {QStringLiteral("statement PDF with its information"), {}},
                              {QStringLiteral("export job (.xls, .pdf and .png)"), {}}};
    const auto record = entry::sample::sampleStatement(QDate(2021, 3, 5));
    const generation::ExportTargets targets{dir.filePath(QStringLiteral("export.xls")),
                                            dir.filePath(QStringLiteral("export.pdf")),
                                            dir.filePath(QStringLiteral("export.png"))};
    qint64 bytes = 0;
    for (int round = 0; round < rounds; ++round) {
        stages[0].lap([&] {
            QPdfWriter pdf(pdfPath);
            spreadsheet::printSheet(statement, 0, pdf, options());
        });
        stages[1].lap([&] {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            QPdfWriter pdf(&buffer);
            spreadsheet::printSheet(statement, 0, pdf, options());
            bytes = buffer.size();
        });
        // What "Export as PDF…" and --export-pdf write: the pages and the appended document information.
        stages[2].lap([&] { bytes = generation::statementPdf(statement, pdfPath).size(); });
        stages[3].lap([&] {
            if (!generation::ExportStatement(record, targets))
                throw spreadsheet::SpreadsheetError(QStringLiteral("the export job failed"));
        });
    }
    std::printf("PDF of the statement: %lld bytes\n", static_cast<long long>(bytes));
    return stages;
}

}  // namespace bench
