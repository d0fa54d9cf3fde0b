#pragma once

#include <QDate>
#include <QString>
#include <array>

namespace shell {

// The statement's lines: the one place that says how many there are (the record, the settings keys, the
// main window, the template and the run all follow it).
inline constexpr int kAssetLines = 11;
inline constexpr int kLiabilityLines = 6;

// The descriptions each line carries until the user changes it; the template's line labels are the same
// texts in the same order, so an untouched statement reproduces the template.
inline const std::array<QString, kAssetLines> kBuiltInAssetDescriptions{
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
    QStringLiteral("Other assets (specify)"),
};
inline const std::array<QString, kLiabilityLines> kBuiltInLiabilityDescriptions{
    QStringLiteral("Current Debt (Credit cards, Accounts)"),
    QStringLiteral("Notes payable (describe below)"),
    QStringLiteral("Taxes payable"),
    QStringLiteral("Real estate mortgages (describe)"),
    QStringLiteral("Other liabilities (specify)"),
    QStringLiteral("Other liabilities (specify)"),
};

// The statement as the main window holds it: texts exactly as the boxes show them, and the date.
struct StatementRecord {
    QString name;
    QDate date;
    std::array<QString, kAssetLines> assetDescriptions;
    std::array<QString, kAssetLines> assetAmounts;
    std::array<QString, kLiabilityLines> liabilityDescriptions;
    std::array<QString, kLiabilityLines> liabilityAmounts;
};

}  // namespace shell
