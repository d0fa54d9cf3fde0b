#pragma once

// The statement as the generation run puts it into a workbook, driven through the spreadsheet
// application interface the same way, so that what independent readers see is what a user gets.

#include <QDate>
#include <QLocale>
#include <QString>
#include <array>
#include <functional>

#include "generation/application.h"
#include "shell/core/statement.h"

namespace interop {

extern const std::array<QString, shell::kAssetLines>& kAssetDescriptions;
extern const std::array<QString, shell::kLiabilityLines>& kLiabilityDescriptions;
// The sample amounts as "Load Sample/Example Data" puts them in the boxes.
extern const std::array<QString, shell::kAssetLines>& kSampleAssets;
extern const std::array<QString, shell::kLiabilityLines>& kSampleLiabilities;

inline const QDate kStatementDate{2021, 3, 5};

// How the amount boxes show a plain amount text: unchanged, or in the currency form the main window
// gives it once the user leaves the box.
enum class AmountForm { Plain, Currency };

// "150.32" as the main window shows it in the currency form of the locale ("$150.32", "150,32 €").
QString currencyText(const QString& plainAmount, const QLocale& locale);

// The sample statement: "John Doe", 5 March 2021, the built-in descriptions and the sample amounts in
// the given form.
shell::StatementRecord sampleStatement(AmountForm form, const QLocale& locale);

// Writes the embedded template resource into the folder as "template.xlt"; empty on failure.
QString writeEmbeddedTemplate(const QString& folder);

// Opens the workbook read-only in a new instance, lets `fill` write into it, saves it at `outPath` with
// format 56 and closes everything, as the generation run does. Returns the error description of a
// failing call, or an empty text.
QString openFillSave(const QString& workbookPath, const std::function<void(generation::Application&)>& fill,
                     const QString& outPath);

// The generation run's writes: the statement's 36 cells into worksheet 1, then B6 selected.
QString fillStatement(const QString& templatePath, const shell::StatementRecord& statement,
                      const QString& outPath);

}  // namespace interop
