#include "generation_fixtures.h"
#include "entry/sample_data.h"

#include <QDir>
#include <QRegularExpression>

#include "shell/message_boxes.h"
#include "spreadsheet/workbook_writer.h"

namespace fixtures {

QString writeWorkbook(const QString& dir, const QString& name,
                      const std::function<void(spreadsheet::Workbook&)>& fill) {
    spreadsheet::Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1"));
    fill(workbook);
    const QString path = QDir(dir).filePath(name);
    spreadsheet::writeWorkbookFile(workbook, path);
    return path;
}

Reports::Reports() {
    shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
        if (request.title == QStringLiteral("Application Error")) {
            texts << request.text;
            const auto match = QRegularExpression(QStringLiteral("at line (\\d+)")).match(request.text);
            lines << (match.hasMatch() ? match.captured(1).toInt() : -1);
        } else {
            ++otherMessages;
        }
        return shell::MessageAnswer::Ok;
    });
}

Reports::~Reports() {
    shell::MessageBoxes::setHandler({});
}

generation::StatementRecord sampleStatement() {
    return entry::sample::sampleStatement(QDate(2021, 3, 5));
}

}  // namespace fixtures
