#include "statement_fill.h"

#include <QDir>
#include <QFile>

#include "generation/automation.h"
#include "generation/cell_map.h"
#include "shell/error_report.h"

namespace interop {

const std::array<QString, generation::kAssetLines> kAssetDescriptions{
    QStringLiteral("Cash - checking accounts"),
    QStringLiteral("Cash - savings accounts"),
    QStringLiteral("Certificates of deposit"),
    QStringLiteral("Securities - stocks / bonds / mutual funds"),
    QStringLiteral("Notes & contracts receivable"),
    QStringLiteral("Life insurance (cash surrender value)"),
    QStringLiteral("Personal property (autos, jewelry, etc.)"),
    QStringLiteral("Retirement Funds (eg. IRAs, 401k)"),
    QStringLiteral("Real estate (market value)"),
    QStringLiteral("Other assets (specify)"),
    QStringLiteral("Other assets (specify)")};

const std::array<QString, generation::kLiabilityLines> kLiabilityDescriptions{
    QStringLiteral("Current Debt (Credit cards, Accounts)"),
    QStringLiteral("Notes payable (describe below)"),
    QStringLiteral("Taxes payable"),
    QStringLiteral("Real estate mortgages (describe)"),
    QStringLiteral("Other liabilities (specify)"),
    QStringLiteral("Other liabilities (specify)")};

const std::array<QString, generation::kAssetLines> kSampleAssets{
    QStringLiteral("150.32"), QStringLiteral("80.46"),  QStringLiteral("250.00"),  QStringLiteral("800.00"),
    QStringLiteral("230.23"), QStringLiteral("840.88"), QStringLiteral("1500.00"), QStringLiteral("122.56"),
    QStringLiteral("15000"),  QStringLiteral("320.00"), QStringLiteral("455.34")};

const std::array<QString, generation::kLiabilityLines> kSampleLiabilities{
    QStringLiteral("654.45"), QStringLiteral("230.89"), QStringLiteral("178.37"),
    QStringLiteral("467.45"), QStringLiteral("545.57"), QStringLiteral("798.41")};

QString currencyText(const QString& plainAmount, const QLocale& locale) {
    return locale.toCurrencyString(QLocale::c().toDouble(plainAmount), QString(), 2);
}

generation::StatementRecord sampleStatement(AmountForm form, const QLocale& locale) {
    const auto shown = [&](const QString& plain) {
        return form == AmountForm::Plain ? plain : currencyText(plain, locale);
    };
    generation::StatementRecord statement;
    statement.name = QStringLiteral("John Doe");
    statement.date = kStatementDate;
    statement.assetDescriptions = kAssetDescriptions;
    statement.liabilityDescriptions = kLiabilityDescriptions;
    for (std::size_t i = 0; i < kSampleAssets.size(); ++i)
        statement.assetAmounts[i] = shown(kSampleAssets[i]);
    for (std::size_t i = 0; i < kSampleLiabilities.size(); ++i)
        statement.liabilityAmounts[i] = shown(kSampleLiabilities[i]);
    return statement;
}

QString writeEmbeddedTemplate(const QString& folder) {
    QFile resource(QStringLiteral(":/CUSTOM/101"));
    if (!resource.open(QIODevice::ReadOnly))
        return {};
    const QString path = QDir(folder).filePath(QStringLiteral("template.xlt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(resource.readAll()) != resource.size())
        return {};
    return path;
}

QString openFillSave(const QString& workbookPath, const std::function<void(generation::Application&)>& fill,
                     const QString& outPath) {
    try {
        const std::shared_ptr<generation::Application> app =
            generation::CreateObject(QStringLiteral("Excel.Application"));
        generation::Workbook book = app->Workbooks().Open(workbookPath, true);
        fill(*app);
        app->setVisible(false);
        book.SaveAs(outPath, generation::xlExcel8);
        app->setDisplayAlerts(false);
        book.Close();
        app->Quit();
    } catch (const std::exception& error) {
        return shell::describe(error);
    }
    return {};
}

QString fillStatement(const QString& templatePath, const generation::StatementRecord& statement,
                      const QString& outPath) {
    return openFillSave(
        templatePath,
        [&](generation::Application& app) {
            const generation::Worksheet sheet = app.Worksheets(1);
            for (const generation::CellWrite& write : generation::statementCells(statement))
                generation::writeCell(sheet, write);
            app.Range(QStringLiteral("B6")).Select();
        },
        outPath);
}

}  // namespace interop
