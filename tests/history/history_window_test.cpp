// The history window offscreen: what its table shows, how the table and the chart select together, and
// its commands answered through the message-box and file-dialog seams.

#include <QAbstractItemModel>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "history/chart_view.h"
#include "history/history_window.h"
#include "history_fixtures.h"
#include "shell/ui/message_boxes.h"
#include "tests/common/test_files.h"

using history::HistoryWindow;
using history_testing::figures;

class HistoryWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        questions_.clear();
        answer_ = shell::MessageAnswer::Yes;
        shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
            questions_ << request.text;
            return request.buttons == shell::MessageButtons::YesNo ? answer_ : shell::MessageAnswer::Ok;
        });
        history::HistoryStore store(path());
        store.record(figures(QDate(2023, 12, 31), QStringLiteral("Ann"), 30));
        store.record(figures(QDate(2021, 12, 31), QStringLiteral("Ann"), 10));
        store.record(figures(QDate(2022, 12, 31), QStringLiteral("Ann"), 5));
    }
    void cleanup() { shell::MessageBoxes::setHandler({}); }

    void tableShowsTheEntriesInDateOrder() {
        HistoryWindow window(path());
        window.setLocale(QLocale());
        window.show();
        QAbstractItemModel* model = window.table()->model();
        QCOMPARE(model->rowCount(), 3);
        QCOMPARE(model->columnCount(), 6);
        const auto f2021 = figures(QDate(2021, 12, 31), QStringLiteral("Ann"), 10);
        const auto f2022 = figures(QDate(2022, 12, 31), QStringLiteral("Ann"), 5);
        const auto text = [&](int row, int column) { return model->index(row, column).data().toString(); };
        QCOMPARE(text(0, 0), QStringLiteral("12/31/2021"));
        QCOMPARE(text(0, 4),
                 QLocale().toCurrencyString(double(f2021.netWorth) / 100, QStringLiteral("$"), 2));
        QCOMPARE(text(0, 5), QString());
        QCOMPARE(text(1, 5), QLocale().toCurrencyString(double(f2022.netWorth - f2021.netWorth) / 100,
                                                        QStringLiteral("$"), 2));
        QCOMPARE(model->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Change Since Previous"));
        // Every control has a name for screen readers.
        for (QWidget* control : std::initializer_list<QWidget*>{window.table(), window.chartView(),
                                                                window.openButton(), window.deleteButton(),
                                                                window.importButton(), window.exportButton()})
            QVERIFY(!control->accessibleName().isEmpty());
        QVERIFY(!window.openButton()->isEnabled());
    }

    // Selecting in the table marks the chart's point, and the chart's keys move the table's selection.
    void tableAndChartSelectTogether() {
        HistoryWindow window(path());
        window.show();
        window.selectEntry(1);
        QCOMPARE(window.chartView()->selected(), std::optional<int>(1));
        QVERIFY(window.chartView()->accessibleDescription().contains(QStringLiteral("Net Worth")));
        QVERIFY(window.openButton()->isEnabled());
        window.chartView()->setFocus();
        QTest::keyClick(window.chartView(), Qt::Key_Right);
        QCOMPARE(window.selectedEntry(), std::optional<int>(2));
        QTest::keyClick(window.chartView(), Qt::Key_Home);
        QCOMPARE(window.selectedEntry(), std::optional<int>(0));
    }

    // "Open in Statement" asks first; only Yes hands the statement, every line of it, to the main window.
    void openInStatementAsksFirst() {
        HistoryWindow window(path());
        window.setLocale(QLocale());
        std::vector<shell::StatementRecord> opened;
        window.setStatementOpener([&](const shell::StatementRecord& r) { opened.push_back(r); });
        window.selectEntry(2);
        answer_ = shell::MessageAnswer::No;
        window.cmdOpenInStatement_Click();
        QCOMPARE(questions_.size(), 1);
        QVERIFY(questions_[0].contains(QStringLiteral("12/31/2023")));
        QVERIFY(opened.empty());
        answer_ = shell::MessageAnswer::Yes;
        window.cmdOpenInStatement_Click();
        QCOMPARE(opened.size(), size_t(1));
        const auto expected = figures(QDate(2023, 12, 31), QStringLiteral("Ann"), 30);
        QCOMPARE(opened[0].date, expected.date);
        QCOMPARE(opened[0].assetDescriptions[10], expected.assets[10].description);
        QCOMPARE(opened[0].assetAmounts[10],
                 QLocale().toCurrencyString(double(expected.assets[10].cents) / 100, QStringLiteral("$"), 2));
        QCOMPARE(
            opened[0].liabilityAmounts[5],
            QLocale().toCurrencyString(double(expected.liabilities[5].cents) / 100, QStringLiteral("$"), 2));
    }

    void deleteAsksFirst() {
        HistoryWindow window(path());
        window.selectEntry(0);
        answer_ = shell::MessageAnswer::No;
        window.cmdDelete_Click();
        QCOMPARE(window.entries().size(), size_t(3));
        answer_ = shell::MessageAnswer::Yes;
        window.cmdDelete_Click();
        QCOMPARE(window.entries().size(), size_t(2));
        QCOMPARE(window.entries().front().date, QDate(2022, 12, 31));
        QCOMPARE(history::HistoryStore(path()).count(), 2);
    }

    // Import records the statements and lists the rest with the reason.
    void importListsWhatIsNoStatement() {
        HistoryWindow window(path());
        const QString notes = dir_->filePath(QStringLiteral("notes.xls"));
        testing::writeFile(notes, "notes");
        window.setOpenFilesDialog(
            [&](QWidget*, const QString&, const QString&) { return QStringList{notes}; });
        window.cmdImport_Click();
        QCOMPARE(questions_.size(), 1);
        QVERIFY(questions_[0].contains(QStringLiteral("notes.xls: It is no Excel 97-2003 workbook")));
        QCOMPARE(window.entries().size(), size_t(3));
    }

    // Another program's record shows when the window is next activated.
    void anotherProgramsRecordShows() {
        HistoryWindow window(path());
        history::HistoryStore(path()).record(figures(QDate(2024, 6, 30), QStringLiteral("Ann"), 2));
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(&window, &activate);
        QCOMPARE(window.entries().size(), size_t(4));
    }

    // A damaged file: the problem is shown, nothing can be done to it but putting it aside with consent.
    void damagedHistoryIsKeptUntilTheUserAgrees() {
        const QString damaged = dir_->filePath(QStringLiteral("damaged.sqlite"));
        testing::writeFile(damaged, QByteArray("not a database at all ").repeated(100));
        HistoryWindow window(damaged);
        window.show();
        QVERIFY(window.problemLabel()->isVisible());
        QVERIFY(window.problemLabel()->text().contains(QStringLiteral("damaged")));
        QVERIFY(!window.importButton()->isEnabled());
        QVERIFY(window.startAfreshButton()->isVisible());
        // An unreadable history is not passed off as an empty one.
        QVERIFY(!window.chartView()->chart().emptyText().contains(QStringLiteral("No statement")));
        answer_ = shell::MessageAnswer::No;
        window.cmdStartAfresh_Click();
        QCOMPARE(testing::contentOf(damaged), QByteArray("not a database at all ").repeated(100));
        answer_ = shell::MessageAnswer::Yes;
        window.cmdStartAfresh_Click();
        QVERIFY(window.store().isReady());
        QVERIFY(!window.problemLabel()->isVisible());
        QVERIFY(window.importButton()->isEnabled());
        QVERIFY(window.chartView()->chart().emptyText().contains(QStringLiteral("No statement")));
        QCOMPARE(testing::entriesOf(dir_->path()).filter(QStringLiteral("damaged.sqlite.damaged-")).size(),
                 1);
    }

private:
    QString path() const { return dir_->filePath(QStringLiteral("history.sqlite")); }
    std::unique_ptr<QTemporaryDir> dir_;
    QStringList questions_;
    shell::MessageAnswer answer_ = shell::MessageAnswer::Yes;
};

int runHistoryWindowTests(int argc, char** argv) {
    HistoryWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "history_window_test.moc"
