#pragma once

// Programs that read our workbooks independently of our engine: xlrd (through the Python scripts in
// data/) and gnumeric's ssconvert. Each call starts a process and reports what that program saw.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "tests/common/csv_rows.h"

namespace interop {

struct ProcessResult {
    int exitCode = -1;  // -1 when the program could not start or crashed
    QByteArray out;
    QByteArray err;
};

// Empty when /usr/bin/python3 with xlrd and ssconvert are there; otherwise what is missing.
QString missingTools();

// What a script of this area's data folder prints as JSON; empty on failure, with the reason as a warning.
QJsonObject runDataScript(const char* script, const QStringList& arguments);

// xlrd's view of a workbook (data/xlrd_view.py); empty on failure, with the reason as a warning.
QJsonObject xlrdView(const QString& path);

// ssconvert with a fixed locale, so that numbers and dates come out the same on every machine.
ProcessResult ssconvert(const QStringList& arguments);

// The lines of ssconvert's error output that say something about the file (environment notices dropped).
QStringList complaints(const QByteArray& err);

using testing::csvRows;

// gnumeric's view of a workbook's sheets: converts it to gnumeric's own format and reads each sheet's
// cursor and selections from it (data/gnumeric_view.py). Empty on failure.
QJsonArray gnumericSheets(const QString& workbookPath, const QString& scratchFolder);

// Conveniences over xlrdView().
QJsonObject sheetOf(const QJsonObject& view, int index = 0);
QJsonObject cellOf(const QJsonObject& sheet, const QString& name);
QJsonObject xfOf(const QJsonObject& view, const QJsonObject& cell);
QJsonObject fontOf(const QJsonObject& view, const QJsonObject& cell);
// One side of an XF's border as [line style, colour index].
QJsonArray borderOf(const QJsonObject& xf, const QString& side);

}  // namespace interop
