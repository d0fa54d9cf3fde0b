#include "generation/picture_export.h"

#include <QBuffer>

#include "generation/automation.h"
#include "generation/clipboard.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/safe_file.h"

namespace generation {

namespace {
constexpr int kAnyPicture = 0;
constexpr int kBitmapFormat = 2;
constexpr int kDeviceIndependentBitmapFormat = 8;

void writePictureFile(const QImage& picture, const QString& file) {
    if (picture.isNull())
        throw shell::RuntimeError(QStringLiteral("Invalid picture"));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "BMP"))
        throw shell::RuntimeError(QStringLiteral("Invalid picture"));
    // Whole or not at all, and renamed over the path: the run later loads whatever lies there, and in
    // a shared folder a link at the path must be replaced, never written through.
    shell::replaceFile(file, bytes);
    shell::rememberOwnFile(file);
}
}  // namespace

std::shared_ptr<Application> OpenWorkbookInNewExcel(const QString& path) {
    auto app = CreateObject(QStringLiteral("Excel.Application"));
    app->Workbooks().Open(path);
    return app;
}

void saveCellsActivesheet(const Workbook& book, const QString& file) {
    shell::Procedure p(QStringLiteral("Excel1"), QStringLiteral("saveCellsActivesheet"));
    Worksheet sheet;
    qint32 lastRow = 0;
    qint32 lastColumn = 0;
    p.step(100, [&] { sheet = book.ActiveSheet(); });
    p.step(102, [&] { lastRow = sheet.UsedRange().Rows(sheet.UsedRange().Rows().count()).Row(); });
    p.step(104,
           [&] { lastColumn = sheet.UsedRange().Columns(sheet.UsedRange().Columns().count()).Column(); });
    // A picture of a single row or column is not worth showing: nothing is written, and no message.
    if (!(lastRow > 1 && lastColumn > 1))
        return;
    // A picture that was not copied (a used range too large for one) leaves nothing of its own to read:
    // whatever the clipboard holds then is another picture, and no picture is written.
    if (p.step(110, [&] { sheet.UsedRange().CopyPicture(); }))
        p.step(112, [&] { writePictureFile(GetClipboardPicture(kAnyPicture), file); });
}

QImage GetClipboardPicture(int format) {
    QImage result;
    if (format != kAnyPicture && format != kBitmapFormat && format != kDeviceIndependentBitmapFormat)
        return result;
    for (int attempts = 0; attempts < kClipboardReadAttempts;) {
        std::optional<QImage> read;
        try {
            read = readPictureFromClipboard();
        } catch (...) {
            // A failing read counts as an attempt like any other.
        }
        ++attempts;
        if (read) {
            result = *read;
            break;
        }
    }
    return result;
}

}  // namespace generation
