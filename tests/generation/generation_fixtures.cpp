#include "generation_fixtures.h"

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
    generation::StatementRecord record;
    record.name = QStringLiteral("John Doe");
    record.date = QDate(2021, 3, 5);
    record.assetDescriptions = {"Cash - checking accounts",
                                "Cash - savings accounts",
                                "Certificates of deposit",
                                "Securities - stocks / bonds / mutual funds",
                                "Notes & contracts receivable",
                                "Life insurance (cash surrender value)",
                                "Personal property (autos, jewelry, etc.)",
                                "Retirement Funds (eg. IRAs, 401k)",
                                "Real estate (market value)",
                                "Other assets (specify)",
                                "Other assets (specify)"};
    record.assetAmounts = {"150.32",  "80.46",  "250.00", "800.00", "230.23", "840.88",
                           "1500.00", "122.56", "15000",  "320.00", "455.34"};
    record.liabilityDescriptions = {"Current Debt (Credit cards, Accounts)",
                                    "Notes payable (describe below)",
                                    "Taxes payable",
                                    "Real estate mortgages (describe)",
                                    "Other liabilities (specify)",
                                    "Other liabilities (specify)"};
    record.liabilityAmounts = {"654.45", "230.89", "178.37", "467.45", "545.57", "798.41"};
    return record;
}

}  // namespace fixtures
