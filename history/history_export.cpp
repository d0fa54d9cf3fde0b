#include "history/history_export.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include "generation/export_file.h"
#include "generation/history_workbook.h"
#include "generation/pdf_document_info.h"
#include "history/history_chart.h"
#include "history/history_csv.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"

namespace history {

namespace {

constexpr int kResolution = 96;  // the PDF's units are pixels of 96 dpi, as on a screen

QString latestName(const std::vector<EntrySummary>& entries) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (!it->name.trimmed().isEmpty())
            return it->name.trimmed();
    return {};
}

std::vector<EntrySummary> inDateOrder(std::vector<EntrySummary> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const EntrySummary& a, const EntrySummary& b) { return a.date < b.date; });
    return entries;
}

// The table of the PDF: columns as fractions of the width, amounts right-aligned.
struct Column {
    const char* heading;
    double width;
    Qt::Alignment alignment;
};
constexpr Column kColumns[] = {
    {"Date", 0.13, Qt::AlignLeft},           {"Name", 0.22, Qt::AlignLeft},
    {"Total Assets", 0.165, Qt::AlignRight}, {"Total Liabilities", 0.165, Qt::AlignRight},
    {"Net Worth", 0.16, Qt::AlignRight},     {"Change", 0.16, Qt::AlignRight},
};

QStringList rowTexts(const std::vector<EntrySummary>& entries, size_t i, const QLocale& locale) {
    const EntrySummary& e = entries[i];
    return {e.date.toString(Qt::ISODate),
            e.name,
            moneyText(e.totalAssets, locale),
            moneyText(e.totalLiabilities, locale),
            moneyText(e.netWorth, locale),
            i == 0 ? QString() : moneyText(e.netWorth - entries[i - 1].netWorth, locale)};
}

}  // namespace

std::optional<HistoryFormat> historyFormatOf(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return HistoryFormat::Csv;
    if (suffix == QLatin1String("xls"))
        return HistoryFormat::Workbook;
    if (suffix == QLatin1String("pdf"))
        return HistoryFormat::Pdf;
    return std::nullopt;
}

QString regionalCurrency(const QLocale& locale) {
    return locale.currencySymbol(QLocale::CurrencyIsoCode);
}

QByteArray historyPdf(const std::vector<EntrySummary>& unsorted, const QLocale& locale) {
    const std::vector<EntrySummary> entries = inDateOrder(unsorted);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(shell::product::kName);
        pdf.setTitle(generation::kHistoryTitle);
        pdf.setResolution(kResolution);
        const bool letter = locale.measurementSystem() == QLocale::ImperialUSSystem;
        pdf.setPageLayout(QPageLayout(QPageSize(letter ? QPageSize::Letter : QPageSize::A4),
                                      QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                                      QPageLayout::Millimeter));
        QPainter painter(&pdf);
        const QRectF page(QPointF(0, 0), QSizeF(pdf.width(), pdf.height()));
        QFont font(QStringLiteral("Arial"));
        font.setPointSizeF(9);
        QFont bold = font;
        bold.setBold(true);
        QFont titleFont = font;
        titleFont.setPointSizeF(16);
        titleFont.setBold(true);

        double y = page.top();
        painter.setFont(titleFont);
        const double titleHeight = QFontMetricsF(titleFont).height();
        painter.drawText(QRectF(page.left(), y, page.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                         generation::kHistoryTitle);
        y += titleHeight + 4;
        painter.setFont(font);
        const double line = QFontMetricsF(font).height() + 4;
        QString subtitle = latestName(entries);
        if (!entries.empty()) {
            const QString span = QStringLiteral("%1 to %2, %3 statements")
                                     .arg(locale.toString(entries.front().date, QLocale::LongFormat),
                                          locale.toString(entries.back().date, QLocale::LongFormat))
                                     .arg(entries.size());
            subtitle = subtitle.isEmpty() ? span : subtitle + QStringLiteral(": ") + span;
        }
        painter.drawText(QRectF(page.left(), y, page.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                         subtitle);
        y += line + 8;

        HistoryChart chart;
        chart.setLocale(locale);
        chart.setEntries(entries);
        const double chartHeight = page.height() * 0.42;
        chart.paint(painter, QRectF(page.left(), y, page.width(), chartHeight));
        y += chartHeight + 16;

        const auto header = [&] {
            painter.setFont(bold);
            double x = page.left();
            for (const Column& c : kColumns) {
                const double width = c.width * page.width();
                painter.drawText(QRectF(x + 2, y, width - 4, line), c.alignment | Qt::AlignVCenter,
                                 QString::fromLatin1(c.heading));
                x += width;
            }
            y += line;
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(QPointF(page.left(), y), QPointF(page.right(), y));
            y += 2;
            painter.setFont(font);
        };
        header();
        for (size_t i = 0; i < entries.size(); ++i) {
            if (y + line > page.bottom()) {
                pdf.newPage();
                y = page.top();
                header();
            }
            double x = page.left();
            const QStringList texts = rowTexts(entries, i, locale);
            for (size_t c = 0; c < std::size(kColumns); ++c) {
                const double width = kColumns[c].width * page.width();
                const QRectF cell(x + 2, y, width - 4, line);
                painter.drawText(cell, kColumns[c].alignment | Qt::AlignVCenter,
                                 QFontMetricsF(font).elidedText(texts[int(c)], Qt::ElideRight, cell.width()));
                x += width;
            }
            y += line;
        }
    }
    return generation::withDocumentInfo(
        buffer.data(), {generation::kHistoryTitle, latestName(entries), shell::product::kName,
                        QStringLiteral("Qt ") + QLatin1String(qVersion())});
}

QByteArray historyFileBytes(HistoryFormat format, const std::vector<EntrySummary>& unsorted,
                            const QLocale& locale) {
    const std::vector<EntrySummary> entries = inDateOrder(unsorted);
    switch (format) {
        case HistoryFormat::Csv:
            return historyCsv(entries);
        case HistoryFormat::Pdf:
            return historyPdf(entries, locale);
        case HistoryFormat::Workbook: {
            std::vector<generation::HistoryRow> rows;
            rows.reserve(entries.size());
            for (const EntrySummary& e : entries)
                rows.push_back({e.date, e.name, e.totalAssets, e.totalLiabilities, e.netWorth});
            return generation::historyWorkbookBytes(rows, locale, latestName(entries));
        }
    }
    return {};
}

void exportHistory(const shell::NativePath& path, const std::vector<EntrySummary>& entries,
                   const QLocale& locale) {
    const auto format = historyFormatOf(QString::fromUtf8(path.fileName()));
    if (!format)
        throw shell::RuntimeError(
            QStringLiteral("'%1' names no format the history is exported in: use .csv, .xls or .pdf")
                .arg(path.shown()));
    generation::ExportFile file(path);
    // The destination is tried before the work, so a folder that does not exist is told at once.
    file.open();
    file.write(historyFileBytes(*format, entries, locale));
    file.commit();
}

ImportReading readStatementFiles(const QStringList& paths, const QString& currency) {
    ImportReading reading;
    for (const QString& path : paths) {
        auto result = generation::readStatementFile(path, currency);
        if (auto* figures = std::get_if<generation::StatementFigures>(&result)) {
            reading.statements.push_back(std::move(*figures));
            reading.accepted << path;
        } else {
            reading.refused.emplace_back(path, std::get<generation::NotAStatement>(result).reason);
        }
    }
    return reading;
}

}  // namespace history
