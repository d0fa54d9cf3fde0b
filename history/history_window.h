#pragma once

#include <QLocale>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "history/history_store.h"
#include "shell/core/statement.h"

class QLabel;
class QPushButton;
class QTableView;

namespace history {

class ChartView;
class HistoryTableModel;

// "Net Worth Over Time": the recorded statements as a table (date, name, total assets, total liabilities,
// net worth, change since the previous entry) and a line chart of the three totals, with the commands
// "Open in Statement", "Delete", "Import Statements…" and "Export…". The table and the chart select
// together; the chart's values are the table's, so a keyboard or a screen reader reaches all of them
// there. A damaged history is shown with its problem and nothing else; only "Start a New History…",
// after the user agrees, puts it aside and begins again.
class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    // Puts a statement into the main window (its fields, and so the settings store).
    using StatementOpener = std::function<void(const shell::StatementRecord&)>;
    // Asks for files to import; empty when cancelled.
    using OpenFilesDialog =
        std::function<QStringList(QWidget* parent, const QString& title, const QString& filter)>;
    // Asks where to export; returns the path (with the chosen filter's suffix when none was typed).
    using ExportDialog =
        std::function<QString(QWidget* parent, const QString& title, const QString& suggestedPath)>;

    explicit HistoryWindow(const QString& storePath = HistoryStore::defaultPath(), QWidget* parent = nullptr);
    ~HistoryWindow() override;

    void setStatementOpener(StatementOpener opener) { opener_ = std::move(opener); }
    void setOpenFilesDialog(OpenFilesDialog dialog) { openFilesDialog_ = std::move(dialog); }
    void setExportDialog(ExportDialog dialog) { exportDialog_ = std::move(dialog); }
    void setLocale(const QLocale& locale);

    // Reads the history again (after a statement was recorded, or when another program changed it).
    void reload();

    HistoryStore& store() { return *store_; }
    const std::vector<EntrySummary>& entries() const { return entries_; }
    std::optional<int> selectedEntry() const;
    void selectEntry(int index);

    QTableView* table() const { return table_; }
    ChartView* chartView() const { return chart_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* deleteButton() const { return delete_; }
    QPushButton* importButton() const { return import_; }
    QPushButton* exportButton() const { return export_; }
    QPushButton* startAfreshButton() const { return startAfresh_; }
    QLabel* problemLabel() const { return problem_; }

    // The commands, as their buttons run them.
    void cmdOpenInStatement_Click();
    void cmdDelete_Click();
    void cmdImport_Click();
    void cmdExport_Click();
    void cmdStartAfresh_Click();

protected:
    bool event(QEvent* event) override;

private:
    void showSelection(std::optional<int> entry);
    void updateCommands();

    std::unique_ptr<HistoryStore> store_;
    std::vector<EntrySummary> entries_;
    qint64 seenVersion_ = -1;
    QLocale locale_;
    HistoryTableModel* model_ = nullptr;
    ChartView* chart_ = nullptr;
    QLabel* readout_ = nullptr;
    QLabel* problem_ = nullptr;
    QTableView* table_ = nullptr;
    QPushButton* open_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* import_ = nullptr;
    QPushButton* export_ = nullptr;
    QPushButton* startAfresh_ = nullptr;
    QPushButton* close_ = nullptr;
    StatementOpener opener_;
    OpenFilesDialog openFilesDialog_;
    ExportDialog exportDialog_;
};

}  // namespace history
