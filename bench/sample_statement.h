#pragma once

#include <QDate>

#include "entry/sample_data.h"
#include "generation/statement.h"

namespace bench {

// The statement a user has after "Load Sample/Example Data" on a fresh start: the sample name and amounts
// as plain texts, the window's built-in descriptions, and the date of 5 March 2021.
inline generation::StatementRecord sampleStatement() {
    generation::StatementRecord record;
    const auto text = [](std::string_view view) {
        return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
    };
    record.name = text(entry::sample::kName);
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
    record.liabilityDescriptions = {"Current Debt (Credit cards, Accounts)",
                                    "Notes payable (describe below)",
                                    "Taxes payable",
                                    "Real estate mortgages (describe)",
                                    "Other liabilities (specify)",
                                    "Other liabilities (specify)"};
    for (std::size_t i = 0; i < record.assetAmounts.size(); ++i)
        record.assetAmounts[i] = text(entry::sample::kAssetAmounts[i]);
    for (std::size_t i = 0; i < record.liabilityAmounts.size(); ++i)
        record.liabilityAmounts[i] = text(entry::sample::kLiabilityAmounts[i]);
    return record;
}

}  // namespace bench
