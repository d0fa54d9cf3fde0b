#pragma once

// The history's files: exports (CSV, Excel 97-2003 workbook with its chart, PDF), chosen by the file's
// suffix, each written whole or not at all; and the reading of statement workbooks to import.

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>
#include <vector>

#include "generation/statement_figures.h"
#include "history/history_store.h"
#include "shell/core/native_path.h"

namespace history {

enum class HistoryFormat { Csv, Workbook, Pdf };

// By the suffix, in any case: .csv, .xls, .pdf; nothing for any other.
std::optional<HistoryFormat> historyFormatOf(const QString& path);

// The ISO code of the locale's currency, as the history records it with each amount.
QString regionalCurrency(const QLocale& locale = QLocale());

// The title, the chart and the table (date, name, the three totals, the change since the previous
// entry), on as many pages as the table needs; the document's title and, as its author, the name of the
// latest statement.
QByteArray historyPdf(const std::vector<EntrySummary>& entries, const QLocale& locale);

QByteArray historyFileBytes(HistoryFormat format, const std::vector<EntrySummary>& entries,
                            const QLocale& locale);

// Writes the history to the file in the format its suffix names, the name taken as the statement's
// exports take it (generation/export_file.h). Throws shell::RuntimeError for an unknown suffix and for
// anything that keeps the file from being written whole; then nothing is written.
void exportHistory(const shell::NativePath& path, const std::vector<EntrySummary>& entries,
                   const QLocale& locale = QLocale());

struct ImportReading {
    std::vector<generation::StatementFigures> statements;
    QStringList accepted;                              // the files the statements came from, in order
    std::vector<std::pair<QString, QString>> refused;  // file, reason
};

// Reads each file as a statement workbook; amounts are taken to be in `currency`.
ImportReading readStatementFiles(const QStringList& paths, const QString& currency);

}  // namespace history
