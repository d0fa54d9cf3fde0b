#pragma once

#include <array>
#include <string_view>

namespace entry::sample {

// The example statement of "Load Sample/Example Data". The amounts are plain texts with a point as decimal
// separator whatever the regional settings; asset line 8 deliberately has no decimals.
inline constexpr std::string_view kName = "John Doe";

inline constexpr std::array<std::string_view, 11> kAssetAmounts{"150.32", "80.46",  "250.00",  "800.00",
                                                                "230.23", "840.88", "1500.00", "122.56",
                                                                "15000",  "320.00", "455.34"};

inline constexpr std::array<std::string_view, 6> kLiabilityAmounts{"654.45", "230.89", "178.37",
                                                                   "467.45", "545.57", "798.41"};

}  // namespace entry::sample
