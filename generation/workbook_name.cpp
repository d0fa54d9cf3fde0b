#include "generation/workbook_name.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cmath>

namespace generation {

FractionSource systemFractionSource() {
    return [] { return QRandomGenerator::global()->generateDouble(); };
}

int digitFromFraction(double fraction) {
    // A source that strays outside [0, 1) must still give a digit the name can hold.
    const int digit = static_cast<int>(std::floor(fraction * 9.0)) + 1;
    return std::clamp(digit, 1, 9);
}

QString drawWorkbookName(const FractionSource& source) {
    QString name = QStringLiteral("vornik");
    for (int i = 0; i < 8; ++i)
        name += QChar(u'0' + digitFromFraction(source()));
    return name;
}

}  // namespace generation
