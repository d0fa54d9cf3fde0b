#pragma once

#include <QImage>
#include <QString>
#include <memory>

#include "generation/application.h"

namespace generation {

// A new hidden instance with the workbook at path opened in it. Raises; the caller reports.
std::shared_ptr<Application> OpenWorkbookInNewExcel(const QString& path);

// Draws the used range of the book's active sheet through the clipboard into a picture file (BMP).
// Writes nothing when the used range ends in row 1 or column 1, or when it is too large for a picture
// (spreadsheet::kMaxPicturePixels; reported at line 110). Reports its own failures
// ("Excel1.saveCellsActivesheet", lines 100 to 112) and returns.
void saveCellsActivesheet(const Workbook& book, const QString& file);

inline constexpr int kClipboardReadAttempts = 1000;

// The clipboard's picture, read with up to 1000 immediate attempts; a null image when none succeeded.
// format 0 takes whatever picture the clipboard holds; the engine only ever hands over bitmaps, so the
// bitmap formats (2 and 8) read the same and any other format finds nothing.
QImage GetClipboardPicture(int format);

}  // namespace generation
