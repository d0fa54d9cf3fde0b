#pragma once

// The document information of a finished PDF file (the entries a PDF reader shows as its title, author,
// creator and producer). Qt's PDF writer fills in the title but has no way to give the author, so the
// information is replaced afterwards by an incremental update: the original bytes stay as they are, and
// a new information object, a cross-reference section for it and a trailer pointing back to the
// original one are appended, as any PDF editor saves a change.

#include <QByteArray>
#include <QString>

namespace generation {

struct PdfDocumentInfo {
    QString title;
    QString author;
    QString creator;   // the program that made the document
    QString producer;  // the program that wrote the PDF
};

// The PDF with the information appended as an incremental update; entries left empty are left out, and
// the original's creation date is kept. Throws shell::RuntimeError when the bytes do not end in a
// cross-reference table and trailer as Qt writes them.
QByteArray withDocumentInfo(const QByteArray& pdf, const PdfDocumentInfo& info);

// A PDF text string: UTF-16BE with its byte order mark, written in hexadecimal, so that any text (brackets,
// backslashes, letters of any script) passes unchanged.
QByteArray pdfTextString(const QString& text);

}  // namespace generation
