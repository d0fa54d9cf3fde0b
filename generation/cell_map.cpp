#include "generation/cell_map.h"

namespace generation {

std::vector<CellWrite> statementCells(const shell::StatementRecord& statement) {
    std::vector<CellWrite> writes;
    writes.push_back({118, kDateRow, kLabelColumn, statement.date});
    writes.push_back({120, kNameRow, kLabelColumn, statement.name});
    for (std::size_t i = 0; i < statement.assetAmounts.size(); ++i) {
        const int row = kFirstAssetRow + static_cast<int>(i);
        writes.push_back({124, row, kLabelColumn, statement.assetDescriptions[i]});
        writes.push_back({126, row, kAmountColumn, statement.assetAmounts[i]});
    }
    for (std::size_t i = 0; i < statement.liabilityAmounts.size(); ++i) {
        const int row = kFirstLiabilityRow + static_cast<int>(i);
        writes.push_back({134, row, kLabelColumn, statement.liabilityDescriptions[i]});
        writes.push_back({136, row, kAmountColumn, statement.liabilityAmounts[i]});
    }
    return writes;
}

void writeCell(const Worksheet& sheet, const CellWrite& write) {
    Range cell = sheet.Cells(write.row, write.column);
    std::visit([&](const auto& value) { cell.setValue(value); }, write.value);
}

}  // namespace generation
