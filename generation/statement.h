#pragma once

#include <QDate>
#include <QString>
#include <array>

#include "shell/core/settings_keys.h"

namespace generation {

// The statement has the lines the store keeps, which the settings keys define.
using shell::keys::kAssetLines;
using shell::keys::kLiabilityLines;

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

}  // namespace generation
