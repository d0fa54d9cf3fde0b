#include "history/history_window.h"

#include <QAction>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include "generation/history_workbook.h"
#include "history/chart_view.h"
#include "history/history_export.h"
#include "history/history_table_model.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "shell/ui/message_boxes.h"

namespace history {

namespace {

const QString kWindow = QStringLiteral("HistoryWindow");
const QString kExportFilter =
    QStringLiteral("CSV Files (*.csv);;Excel 97-2003 Workbooks (*.xls);;PDF Files (*.pdf)");

QStringList askForFiles(QWidget* parent, const QString& title, const QString& filter) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QFileDialog::getOpenFileNames(parent, title, folder, filter);
}

QString askForExport(QWidget* parent, const QString& title, const QString& suggested) {
    QString filter;
    QString path = QFileDialog::getSaveFileName(parent, title, suggested, kExportFilter, &filter);
    if (path.isEmpty() || historyFormatOf(path))
        return path;
    // No known suffix typed: the chosen filter's.
    const int star = int(filter.indexOf(QLatin1String("*.")));
    return star < 0 ? path : path + filter.mid(star + 1, 4);
}

QPushButton* commandButton(const QString& text, const QString& description, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    QString name = text;
    name.remove(u'&');
    name.remove(QChar(0x2026));
    button->setAccessibleName(name);
    button->setAccessibleDescription(description);
    return button;
}

}  // namespace

HistoryWindow::HistoryWindow(const QString& storePath, QWidget* parent)
    : QWidget(parent, Qt::Window), store_(std::make_unique<HistoryStore>(storePath)) {
    setWindowTitle(generation::kHistoryTitle + QStringLiteral(" \u2013 ") + shell::product::kName);
    setObjectName(QStringLiteral("HistoryWindow"));

    problem_ = new QLabel(this);
    problem_->setWordWrap(true);
    problem_->setAccessibleName(QStringLiteral("History problem"));
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    startAfresh_ =
        commandButton(QStringLiteral("&Start a New History\u2026"),
                      QStringLiteral("Keeps the damaged history file under a new name and begins an "
                                     "empty history"),
                      this);

    chart_ = new ChartView(this);
    chart_->setAccessibleName(QStringLiteral("Net worth chart"));
    chart_->setToolTip(QString());
    readout_ = new QLabel(this);
    readout_->setAccessibleName(QStringLiteral("Selected entry"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    readout_->setMinimumHeight(readout_->fontMetrics().height());

    model_ = new HistoryTableModel(this);
    table_ = new QTableView(this);
    table_->setModel(model_);
    table_->setAccessibleName(QStringLiteral("History table"));
    table_->setAccessibleDescription(
        QStringLiteral("One row per recorded statement, oldest first: the chart's values"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table_->setColumnWidth(HistoryTableModel::Date, 100);
    table_->setColumnWidth(HistoryTableModel::Name, 170);
    for (int c = HistoryTableModel::TotalAssets; c < HistoryTableModel::ColumnCount; ++c)
        table_->setColumnWidth(c, 130);

    open_ = commandButton(QStringLiteral("&Open in Statement"),
                          QStringLiteral("Puts the selected statement into the main window"), this);
    delete_ = commandButton(QStringLiteral("&Delete"), QStringLiteral("Removes the selected entry"), this);
    import_ = commandButton(QStringLiteral("&Import Statements\u2026"),
                            QStringLiteral("Records statement workbooks saved earlier"), this);
    export_ = commandButton(
        QStringLiteral("&Export\u2026"),
        QStringLiteral("Writes the history as CSV, an Excel workbook with its chart, or PDF"), this);
    close_ = commandButton(QStringLiteral("Close"), QString(), this);

    auto* problemRow = new QHBoxLayout;
    problemRow->addWidget(problem_, 1);
    problemRow->addWidget(startAfresh_);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* chartPane = new QWidget(splitter);
    auto* chartLayout = new QVBoxLayout(chartPane);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(chart_, 1);
    chartLayout->addWidget(readout_);
    splitter->addWidget(chartPane);
    splitter->addWidget(table_);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {open_, delete_, import_, export_})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(problemRow);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);
    resize(880, 640);

    // The keyboard's way through: table, chart, then the commands.
    setTabOrder(table_, chart_);
    setTabOrder(chart_, open_);
    setTabOrder(open_, delete_);
    setTabOrder(delete_, import_);
    setTabOrder(import_, export_);
    setTabOrder(export_, close_);

    auto* closeAction = new QAction(this);
    closeAction->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)});
    addAction(closeAction);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    auto* deleteAction = new QAction(this);
    deleteAction->setShortcut(QKeySequence::Delete);
    deleteAction->setShortcutContext(Qt::WidgetShortcut);
    table_->addAction(deleteAction);
    connect(deleteAction, &QAction::triggered, this, [this] { cmdDelete_Click(); });

    connect(open_, &QPushButton::clicked, this, [this] { cmdOpenInStatement_Click(); });
    connect(delete_, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(import_, &QPushButton::clicked, this, [this] { cmdImport_Click(); });
    connect(export_, &QPushButton::clicked, this, [this] { cmdExport_Click(); });
    connect(startAfresh_, &QPushButton::clicked, this, [this] { cmdStartAfresh_Click(); });
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    connect(table_, &QTableView::activated, this, [this] { cmdOpenInStatement_Click(); });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { showSelection(selectedEntry()); });
    connect(chart_, &ChartView::entryChosen, this, [this](int entry) { selectEntry(entry); });

    reload();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::setLocale(const QLocale& locale) {
    locale_ = locale;
    reload();
}

void HistoryWindow::reload() {
    const std::optional<int> selected = selectedEntry();
    const qint64 selectedId = selected ? entries_[size_t(*selected)].id : -1;
    shell::Procedure p(kWindow, QStringLiteral("reload"));
    entries_.clear();
    if (store_->isReady()) {
        p.step(100, [&] {
            entries_ = store_->summaries();
            seenVersion_ = store_->dataVersion();
        });
    }
    problem_->setText(store_->problem());
    problem_->setVisible(!store_->isReady());
    startAfresh_->setVisible(store_->state() == HistoryStore::State::Damaged ||
                             store_->state() == HistoryStore::State::TooNew);
    model_->setEntries(entries_, locale_);
    // A history that cannot be read is no empty one: the chart does not claim that nothing was recorded.
    chart_->setEmptyText(store_->isReady() ? HistoryChart().emptyText()
                                           : QStringLiteral("The history cannot be shown: see above."));
    chart_->setEntries(entries_, locale_);
    chart_->setAccessibleDescription(
        !store_->isReady() ? QStringLiteral("The history cannot be shown")
        : entries_.empty()
            ? QStringLiteral("No statement is recorded yet")
            : QStringLiteral("Total assets, total liabilities and net worth of %1 statements; the "
                             "history table holds the same values")
                  .arg(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].id == selectedId)
            selectEntry(int(i));
    showSelection(selectedEntry());
}

std::optional<int> HistoryWindow::selectedEntry() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    if (rows.isEmpty() || rows.front().row() >= int(entries_.size()))
        return std::nullopt;
    return rows.front().row();
}

void HistoryWindow::selectEntry(int index) {
    if (index < 0 || index >= int(entries_.size()))
        return;
    table_->selectRow(index);
    table_->scrollTo(model_->index(index, 0));
}

void HistoryWindow::showSelection(std::optional<int> entry) {
    chart_->setSelected(entry);
    readout_->setText(entry ? chart_->chart().describe(*entry).replace(u'\n', QStringLiteral(" \u2022 "))
                            : QString());
    updateCommands();
}

void HistoryWindow::updateCommands() {
    const bool ready = store_->isReady();
    const bool chosen = selectedEntry().has_value();
    open_->setEnabled(ready && chosen);
    delete_->setEnabled(ready && chosen);
    import_->setEnabled(ready);
    export_->setEnabled(ready);
    table_->setEnabled(ready);
    chart_->setEnabled(ready);
}

// Another program may have recorded a statement since: the window shows it when it is next activated.
bool HistoryWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && store_->isReady() && store_->dataVersion() != seenVersion_)
        reload();
    return QWidget::event(event);
}

void HistoryWindow::cmdOpenInStatement_Click() {
    shell::Procedure p(kWindow, QStringLiteral("cmdOpenInStatement_Click"));
    const auto selected = selectedEntry();
    if (!selected || !store_->isReady())
        return;
    const EntrySummary entry = entries_[size_t(*selected)];
    std::optional<generation::StatementFigures> figures;
    if (!p.step(100, [&] {
            figures = store_->figures(entry.id);
            if (!figures)
                throw shell::RuntimeError(QStringLiteral("The entry is no longer in the history"));
        }))
        return reload();
    QString question = QStringLiteral(
                           "Open the statement of %1%2 in the main window? It replaces every field "
                           "there.")
                           .arg(HistoryTableModel::dateText(entry.date, locale_),
                                entry.name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(entry.name));
    const QString currency = regionalCurrency(locale_);
    if (!figures->currency.isEmpty() && figures->currency != currency)
        question += QStringLiteral(
                        " Its amounts were recorded in %1 and are shown in the current currency form, "
                        "unconverted.")
                        .arg(figures->currency);
    bool yes = false;
    p.step(102, [&] { yes = shell::MessageBoxes::askYesNo(question, this); });
    if (!yes)
        return;
    p.step(104, [&] {
        if (!opener_)
            throw shell::RuntimeError(QStringLiteral("Object variable not set"));
        opener_(generation::recordOf(*figures, locale_));
    });
}

void HistoryWindow::cmdDelete_Click() {
    shell::Procedure p(kWindow, QStringLiteral("cmdDelete_Click"));
    const auto selected = selectedEntry();
    if (!selected || !store_->isReady())
        return;
    const EntrySummary entry = entries_[size_t(*selected)];
    bool yes = false;
    p.step(100, [&] {
        yes = shell::MessageBoxes::askYesNo(
            QStringLiteral("Delete the entry of %1%2 from the history? This cannot be undone.")
                .arg(HistoryTableModel::dateText(entry.date, locale_),
                     entry.name.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(entry.name)),
            this);
    });
    if (!yes)
        return;
    p.step(102, [&] { store_->remove(entry.id); });
    reload();
    selectEntry(std::min(*selected, int(entries_.size()) - 1));
}

void HistoryWindow::cmdImport_Click() {
    shell::Procedure p(kWindow, QStringLiteral("cmdImport_Click"));
    QStringList files;
    const QString title = QStringLiteral("Import Statements");
    const QString filter = QStringLiteral("Excel Workbooks (*.xls *.xlt);;All Files (*)");
    if (!p.step(100,
                [&] {
                    files = openFilesDialog_ ? openFilesDialog_(this, title, filter)
                                             : askForFiles(this, title, filter);
                }) ||
        files.isEmpty())
        return;
    ImportReading reading;
    p.step(102, [&] { reading = readStatementFiles(files, regionalCurrency(locale_)); });
    const bool recorded =
        reading.statements.empty() || p.step(104, [&] { store_->recordAll(reading.statements); });
    reload();
    if (!recorded)
        return;
    QString text = reading.statements.size() == 1
                       ? QStringLiteral("1 statement was recorded.")
                       : QStringLiteral("%1 statements were recorded.").arg(reading.statements.size());
    if (!reading.refused.empty()) {
        text += QStringLiteral("\n\nThese files are not statements and were left out:");
        for (const auto& [file, reason] : reading.refused)
            text += QStringLiteral("\n\u2022 %1: %2").arg(QFileInfo(file).fileName(), reason);
    }
    p.step(106, [&] { shell::MessageBoxes::inform(text, this); });
}

void HistoryWindow::cmdExport_Click() {
    shell::Procedure p(kWindow, QStringLiteral("cmdExport_Click"));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(generation::kHistoryTitle + QStringLiteral(".xls"));
    QString target;
    const QString title = QStringLiteral("Export History");
    if (!p.step(100,
                [&] {
                    target = exportDialog_ ? exportDialog_(this, title, suggested)
                                           : askForExport(this, title, suggested);
                }) ||
        target.isEmpty())
        return;
    p.step(102, [&] { exportHistory(target, entries_, locale_); });
}

void HistoryWindow::cmdStartAfresh_Click() {
    shell::Procedure p(kWindow, QStringLiteral("cmdStartAfresh_Click"));
    bool yes = false;
    p.step(100, [&] {
        yes = shell::MessageBoxes::askYesNo(
            store_->problem() +
                QStringLiteral("\n\nStart a new, empty history? The old file is kept beside it "
                               "under a new name."),
            this);
    });
    if (!yes)
        return;
    QString kept;
    if (p.step(102, [&] { kept = store_->startAfresh(); }))
        p.step(104, [&] {
            shell::MessageBoxes::inform(
                QStringLiteral("The old history is kept as '%1'.").arg(QDir::toNativeSeparators(kept)), this);
        });
    reload();
}

}  // namespace history
