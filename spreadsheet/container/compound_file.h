#pragma once

// The container around a workbook stream: a compound file (OLE2 structured storage). libgsf does the
// container itself; this file decides which streams a workbook file carries and guards every size.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

#include "spreadsheet/workbook.h"

namespace spreadsheet {

// Larger files and streams are refused rather than read: no workbook this program meets comes near.
inline constexpr qint64 kMaxCompoundFileSize = qint64(256) * 1024 * 1024;

// A compound file opened for reading. The whole file is held in memory; streams are copied out.
class CompoundFileReader {
public:
    // Throw SpreadsheetError when the file is missing, unreadable, too large or not a compound file.
    static CompoundFileReader fromFile(const QString& path);
    static CompoundFileReader fromBytes(const QByteArray& bytes);

    // Names of the streams and storages at the top level.
    QStringList topLevelNames() const;
    // The stream's bytes, or nothing when there is no such stream. Throws when it cannot be read.
    std::optional<QByteArray> stream(const QString& name) const;
    // The workbook stream: "Workbook", or "Book" as older files call it. Throws when there is neither.
    QByteArray workbookStream() const;
    // Title, author and the like from the property streams; empty fields when the file has none.
    DocumentProperties properties() const;

private:
    explicit CompoundFileReader(QByteArray bytes, QString origin);
    QByteArray bytes_;
    QString origin_;  // for messages: the file name, or "the workbook data"
};

// The bytes of a compound file holding the workbook stream, both property streams and the CompObj stream.
QByteArray compoundFileBytes(const QByteArray& workbookStream, const DocumentProperties& properties);

// Writes the same to a file through a temporary file renamed into place; a failure leaves no partial file.
void writeCompoundFile(const QString& path, const QByteArray& workbookStream,
                       const DocumentProperties& properties);

// The "\001CompObj" stream of a BIFF8 workbook: class "Excel.Sheet.8", clipboard format "Biff8".
QByteArray compObjStream();

}  // namespace spreadsheet
