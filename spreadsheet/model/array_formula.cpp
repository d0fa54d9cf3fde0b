#include "spreadsheet/model/array_formula.h"

#include <QtEndian>

namespace spreadsheet {

std::optional<CellRef> expAnchor(const QByteArray& tokens) {
    constexpr quint8 kPtgExp = 0x01;
    if (tokens.size() < 5 || quint8(tokens[0]) != kPtgExp)
        return std::nullopt;
    return CellRef{qFromLittleEndian<quint16>(tokens.constData() + 1),
                   qFromLittleEndian<quint16>(tokens.constData() + 3)};
}

}  // namespace spreadsheet
