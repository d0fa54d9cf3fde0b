#pragma once

#include <QDate>
#include <QString>
#include <array>

namespace generation {

inline constexpr int kAssetLines = 11;
inline constexpr int kLiabilityLines = 6;

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
