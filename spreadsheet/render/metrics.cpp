#include "spreadsheet/render/metrics.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHash>
#include <QMutex>
#include <cmath>

namespace spreadsheet {

namespace {

// Office fonts that are not installed here, and the installed family that takes their place.
QString knownSubstitute(const QString& lowerName) {
    static const QHash<QString, QString> substitutes = {
        {QStringLiteral("arial"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("helvetica"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("arial narrow"), QStringLiteral("Liberation Sans Narrow")},
        {QStringLiteral("calibri"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("ms sans serif"), QStringLiteral("Liberation Sans")},
        {QStringLiteral("verdana"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("tahoma"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("segoe ui"), QStringLiteral("DejaVu Sans")},
        {QStringLiteral("times new roman"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("times"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("cambria"), QStringLiteral("Liberation Serif")},
        {QStringLiteral("georgia"), QStringLiteral("DejaVu Serif")},
        {QStringLiteral("courier new"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("courier"), QStringLiteral("Liberation Mono")},
        {QStringLiteral("consolas"), QStringLiteral("DejaVu Sans Mono")},
    };
    return substitutes.value(lowerName);
}

}  // namespace

QString substituteFamily(const QString& name) {
    static QMutex mutex;
    static QHash<QString, QString> cache;
    QMutexLocker lock(&mutex);
    if (auto it = cache.constFind(name); it != cache.constEnd())
        return *it;

    QString family;
    if (!name.isEmpty() && QFontDatabase::hasFamily(name)) {
        family = name;
    } else if (const QString known = knownSubstitute(name.toLower());
               !known.isEmpty() && QFontDatabase::hasFamily(known)) {
        family = known;
    } else if (QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))) {
        family = QStringLiteral("Liberation Sans");
    } else {
        family = QStringLiteral("DejaVu Sans");
    }
    cache.insert(name, family);
    return family;
}

QFont screenFont(const Font& font) {
    QFont f(substituteFamily(font.name));
    // A screen font has a whole number of pixels: 8 pt is 11 px, 10 pt 13 px at 96 dpi.
    f.setPixelSize(std::max(1, int(std::lround(font.points() * 96.0 / 72.0))));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setStrikeOut(font.strikeout);
    f.setUnderline(font.underline == 1);
    f.setKerning(false);
    // The same image on every machine: no subpixel colour fringes, which depend on the screen setup.
    // Letters stand apart as in a spreadsheet: no ligatures, which would also turn "fi" into one
    // character in a PDF's text.
    f.setStyleStrategy(
        QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias | QFont::PreferNoShaping));
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QFont fontForText(QFont font, const QString& text) {
    for (const QChar c : text) {
        const QChar::Script script = c.script();
        if (script != QChar::Script_Common && script != QChar::Script_Inherited &&
            script != QChar::Script_Latin && script != QChar::Script_Greek &&
            script != QChar::Script_Cyrillic && script != QChar::Script_Unknown) {
            font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() & ~QFont::PreferNoShaping));
            break;
        }
    }
    return font;
}

int maximumDigitWidth(const Workbook& workbook) {
    quint16 fontIndex = 0;
    for (const Style& style : workbook.styles) {
        if (style.builtIn && style.builtInId == 0 && style.xfIndex < workbook.formats.size()) {
            fontIndex = workbook.formats[style.xfIndex].fontIndex;
            break;
        }
    }
    const Font normal = fontIndex < workbook.fonts.size() ? workbook.fonts[fontIndex] : Font{};
    const QFontMetrics metrics(screenFont(normal));
    int widest = 0;
    for (char16_t digit = u'0'; digit <= u'9'; ++digit)
        widest = std::max(widest, metrics.horizontalAdvance(QChar(digit)));
    return std::max(widest, 1);
}

int columnPixelsFromUnits(int units, int mdw) {
    const int padding = 128 / mdw;
    return int(double(units + padding) / 256.0 * mdw);
}

int columnWidthPixels(const Worksheet& sheet, int column, int mdw) {
    if (const auto units = sheet.columnWidth(column))
        return *units == 0 ? 0 : columnPixelsFromUnits(*units, mdw);
    const int pixels = sheet.defaultColumnWidth * mdw + 5;
    return (pixels + 7) / 8 * 8;
}

int rowHeightPixels(const Worksheet& sheet, int row) {
    return int(std::lround(sheet.rowHeightTwips(row) / 15.0));
}

}  // namespace spreadsheet
