#pragma once

#include <QString>

#include "spreadsheet/error.h"
#include "spreadsheet/workbook.h"

// A value as a test compares it: a number to 15 significant digits, as a spreadsheet keeps them, a quoted
// text, TRUE/FALSE, an error's text or "(blank)".
inline QString describe(const spreadsheet::Value& v) {
    if (const double* d = std::get_if<double>(&v))
        return QString::number(*d, 'g', 15);
    if (const QString* s = std::get_if<QString>(&v))
        return u'"' + *s + u'"';
    if (const bool* b = std::get_if<bool>(&v))
        return *b ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (const spreadsheet::ErrorCode* e = std::get_if<spreadsheet::ErrorCode>(&v))
        return spreadsheet::errorText(*e);
    return QStringLiteral("(blank)");
}
