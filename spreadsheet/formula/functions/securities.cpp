// Securities (placeholder while the family is written).

#include "spreadsheet/formula/functions.h"

namespace spreadsheet::formula_detail {

std::span<const FunctionInfo> securityFunctions() {
    return {};
}

}  // namespace spreadsheet::formula_detail
