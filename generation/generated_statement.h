#pragma once

#include <QByteArray>
#include <QImage>
#include <QPageLayout>
#include <QString>
#include <memory>

class QPagedPaintDevice;

namespace spreadsheet {
class Workbook;
}

namespace generation {

// A statement workbook that a generation run saved, read back once for what the preview does with it:
// its picture at the screen's pixel density, its totals as text, and its pages on a printer or in a PDF.
// What the engine makes of the file stays inside; the preview needs none of it.
class GeneratedStatement {
public:
    // Throws shell::RuntimeError ("File not found: '<path>'") when there is no file at the path, and the
    // engine's error when the file is no workbook or holds no sheet.
    static GeneratedStatement read(const QString& path);

    const QString& path() const { return path_; }

    // The picture of the active sheet's used range (statementPicture) with `ratio` device pixels to each
    // pixel of 96 dpi; a null image when there is nothing to draw or the picture would be too large.
    QImage picture(qreal ratio) const;

    // The totals and the net worth as the sheet shows them: "Total Assets: $1,500.00. ...".
    QString totals() const;

    // The sheet's paper, orientation and margins, for a printer to start from.
    QPageLayout pageLayout() const;
    // Prints the pages onto the device, on the paper and margins it has now. Throws when there is
    // nothing to print.
    void print(QPagedPaintDevice& device) const;
    // The pages as a PDF document. Throws when there is nothing to print.
    QByteArray pdf() const;

private:
    GeneratedStatement(std::shared_ptr<const spreadsheet::Workbook> workbook, QString path);

    std::shared_ptr<const spreadsheet::Workbook> workbook_;
    QString path_;
};

}  // namespace generation
