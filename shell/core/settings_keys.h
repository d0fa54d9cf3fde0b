#pragma once

#include <QString>

namespace shell::keys {

// Every key the program stores, named once. Array keys are the control's name and the line index in
// decimal, without a leading zero ("txtAssets0" ... "txtAssets10").

inline QString name() {
    return QStringLiteral("txtName");
}
inline QString date() {
    return QStringLiteral("dtpFrom");
}
inline QString assetDescription(int line) {
    return QStringLiteral("txtAssets") + QString::number(line);
}
inline QString assetAmount(int line) {
    return QStringLiteral("txtAmountAssets") + QString::number(line);
}
inline QString liabilityDescription(int line) {
    return QStringLiteral("txtLiabilities") + QString::number(line);
}
inline QString liabilityAmount(int line) {
    return QStringLiteral("txtAmountL") + QString::number(line);
}
// Beside the fields: the regional settings under which the stored amounts and date were written.
inline QString locale() {
    return QStringLiteral("Locale");
}

}  // namespace shell::keys
