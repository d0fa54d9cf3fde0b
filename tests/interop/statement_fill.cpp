#include "statement_fill.h"

#include <QDir>
#include <QFile>

#include "entry/sample_data.h"
#include "generation/automation.h"
#include "generation/cell_map.h"
#include "shell/core/error_report.h"

namespace interop {

namespace {
const shell::StatementRecord& plainSample() {
    static const shell::StatementRecord sample = entry::sample::sampleStatement(kStatementDate);
    return sample;
}
}  // namespace

const std::array<QString, shell::kAssetLines>& kAssetDescriptions = shell::kBuiltInAssetDescriptions;
const std::array<QString, shell::kLiabilityLines>& kLiabilityDescriptions =
    shell::kBuiltInLiabilityDescriptions;
const std::array<QString, shell::kAssetLines>& kSampleAssets = plainSample().assetAmounts;
const std::array<QString, shell::kLiabilityLines>& kSampleLiabilities = plainSample().liabilityAmounts;

QString currencyText(const QString& plainAmount, const QLocale& locale) {
    return locale.toCurrencyString(QLocale::c().toDouble(plainAmount), QString(), 2);
}

shell::StatementRecord sampleStatement(AmountForm form, const QLocale& locale) {
    const auto shown = [&](const QString& plain) {
        return form == AmountForm::Plain ? plain : currencyText(plain, locale);
    };
    shell::StatementRecord statement = plainSample();
    for (QString& amount : statement.assetAmounts)
        amount = shown(amount);
    for (QString& amount : statement.liabilityAmounts)
        amount = shown(amount);
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

QString fillStatement(const QString& templatePath, const shell::StatementRecord& statement,
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
