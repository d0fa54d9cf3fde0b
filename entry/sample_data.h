#pragma once

#include <QDate>
#include <QString>
#include <array>
#include <string_view>

#include "shell/core/statement.h"

namespace entry::sample {

// The example statement of "Load Sample/Example Data". The amounts are plain texts with a point as decimal
// separator whatever the regional settings; asset line 8 deliberately has no decimals.
inline constexpr std::string_view kName = "John Doe";

inline constexpr std::array<std::string_view, 11> kAssetAmounts{"150.32", "80.46",  "250.00",  "800.00",
                                                                "230.23", "840.88", "1500.00", "122.56",
                                                                "15000",  "320.00", "455.34"};

inline constexpr std::array<std::string_view, 6> kLiabilityAmounts{"654.45", "230.89", "178.37",
                                                                   "467.45", "545.57", "798.41"};

// The statement a user has after loading the sample on a fresh start: the sample name and amounts as
// plain texts, the built-in descriptions and the given date.
inline shell::StatementRecord sampleStatement(QDate date) {
    const auto text = [](std::string_view view) {
        return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
    };
    shell::StatementRecord record;
    record.name = text(kName);
    record.date = date;
    record.assetDescriptions = shell::kBuiltInAssetDescriptions;
    record.liabilityDescriptions = shell::kBuiltInLiabilityDescriptions;
    for (std::size_t i = 0; i < record.assetAmounts.size(); ++i)
        record.assetAmounts[i] = text(kAssetAmounts[i]);
    for (std::size_t i = 0; i < record.liabilityAmounts.size(); ++i)
        record.liabilityAmounts[i] = text(kLiabilityAmounts[i]);
    return record;
}

}  // namespace entry::sample
