#include "generation/generated_statement.h"

#include "generation/statement_output.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "spreadsheet/workbook_reader.h"

namespace generation {

GeneratedStatement::GeneratedStatement(std::shared_ptr<const spreadsheet::Workbook> workbook, QString path)
    : workbook_(std::move(workbook)), path_(std::move(path)) {}

GeneratedStatement GeneratedStatement::read(const QString& path) {
    if (!shell::FileExists(path))
        throw shell::RuntimeError(QStringLiteral("File not found: '%1'").arg(path));
    auto workbook = std::make_shared<const spreadsheet::Workbook>(spreadsheet::readWorkbookFile(path));
    if (workbook->sheets.empty())
        throw shell::RuntimeError(QStringLiteral("The workbook '%1' has no sheet").arg(path));
    return GeneratedStatement(std::move(workbook), path);
}

QImage GeneratedStatement::picture(qreal ratio) const {
    try {
        return statementPicture(*workbook_, ratio);
    } catch (const std::exception&) {
        return {};
    }
}

QString GeneratedStatement::totals() const {
    return statementTotals(*workbook_);
}

QPageLayout GeneratedStatement::pageLayout() const {
    return statementPageLayout(*workbook_);
}

void GeneratedStatement::print(QPagedPaintDevice& device) const {
    printStatement(*workbook_, device, path_);
}

QByteArray GeneratedStatement::pdf() const {
    return statementPdf(*workbook_, path_);
}

}  // namespace generation
