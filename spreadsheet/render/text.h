#pragma once

// What the text steps of the renderer share: one planned piece of cell text and the measures its
// drawing needs. Not part of the engine's interface.

#include <QFont>
#include <QFontMetricsF>
#include <QRect>
#include <QRgb>
#include <QString>

#include "spreadsheet/number_format.h"
#include "spreadsheet/render/grid.h"

namespace spreadsheet::render_detail {

// Blank pixels between the grid line and the text on either side.
inline constexpr int kPadding = 2;

struct TextPlan::Item {
    QRect inner;   // the cell or merged area inside its grid lines
    QRect clip;    // what the text may cover: the area and the neighbours it runs into
    QFont font;    // the cell's font, shrunk when the cell shrinks its text to fit; sets the line's height
    QFont glyphs;  // what the letters are drawn in: smaller than `font` for superscript and subscript
    QRgb color = 0;
    FormattedText text;
    QString wrapped;  // the text of a wrapped cell, line breaks as line separators
    HAlign align = HAlign::Left;
    VAlign valign = VAlign::Bottom;
    int indent = 0;
    bool wrap = false;
    quint8 underline = 0;
    quint16 escapement = 0;  // 1 superscript, 2 subscript
    bool rightToLeft = false;
    int angle = 0;         // degrees counter-clockwise, -90 to 90
    bool stacked = false;  // letters one below the other
};

using TextItem = TextPlan::Item;

// The cell's font at another pixel size, with the letters' font to match.
void setTextSize(TextItem& item, int pixels);
// How far the letters' baseline lies below the line's baseline: negative for superscript.
double baselineShift(const TextItem& item);

double widthOf(const QFontMetricsF& metrics, const std::vector<FormattedSegment>& segments, size_t from,
               size_t to);
double widthOf(const QFontMetricsF& metrics, const FormattedText& text);

// Where a block `height` pixels high starts so that it sits in the cell as the vertical alignment says.
double blockTop(const TextItem& item, double height);

void drawLevelText(QPainter& painter, const TextItem& item);
void drawTurnedText(QPainter& painter, const TextItem& item);

}  // namespace spreadsheet::render_detail
