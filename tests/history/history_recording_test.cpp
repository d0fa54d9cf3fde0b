// The program as the user runs it: a statement is recorded exactly when the user keeps it (saving the
// workbook, printing, exporting a PDF, saving the picture), never by a preview alone, a copy, a cancelled
// dialog or a command that failed; the history window opens from the preview and puts an entry back into
// the main window.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "app/program.h"
#include "entry/form1.h"
#include "history/history_store.h"
#include "history/history_window.h"
#include "preview/form2.h"
#include "preview/picture_commands.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"
#include "shell/ui/message_boxes.h"

namespace {

void click(QWidget* window, const char* button) {
    auto* pushButton = window->findChild<QPushButton*>(QString::fromLatin1(button));
    QVERIFY2(pushButton, button);
    pushButton->click();
}

}  // namespace

class HistoryRecordingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        QFile::remove(shell::SettingsStore::fileName());
        QDir().mkpath(QFileInfo(history::HistoryStore::defaultPath()).absolutePath());
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(history::HistoryStore::defaultPath() + QLatin1String(suffix));
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        qputenv("TEMP", QFile::encodeName(temp_->path()));
        messages_.clear();
        shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
            messages_ << request.text;
            return request.buttons == shell::MessageButtons::YesNo ? shell::MessageAnswer::Yes
                                                                   : shell::MessageAnswer::Ok;
        });
    }
    void cleanup() {
        shell::MessageBoxes::setHandler({});
        qunsetenv("TEMP");
    }

    void recordedWhenKept();
    void openedBackIntoTheMainWindow();

private:
    static int recorded() { return history::HistoryStore().count(); }
    QString file(const QString& name) const { return temp_->filePath(name); }

    std::unique_ptr<QTemporaryDir> temp_;
    QStringList messages_;
};

void HistoryRecordingTest::recordedWhenKept() {
    app::Program program;
    program.start();
    click(&program.mainWindow(), "PushButton7");
    click(&program.mainWindow(), "PushButton22");
    QVERIFY(program.previewLoaded());
    preview::Form2& form2 = program.preview();
    preview::PictureCommands& commands = form2.pictureCommands();
    QCOMPARE(recorded(), 0);  // the preview alone

    commands.copyPictureAction()->trigger();
    QString answer;  // what the save dialogs answer; empty is Cancel
    form2.setSaveDialog([&](QWidget*, const QString&, const QString&, const QString&) { return answer; });
    commands.setSaveFileDialog(
        [&](QWidget*, const QString&, const QString&, const QString&, const QString&) { return answer; });
    click(&form2, "PushButton6");
    commands.mnuExportPdf_Click();
    commands.mnuSavePicture_Click();
    commands.setPrintDialog([](QPrinter&, QWidget*) { return false; });
    commands.mnuPrint_Click();
    // Saving into a folder that does not exist fails, and is reported.
    answer = file(QStringLiteral("missing/statement.xls"));
    click(&form2, "PushButton6");
    answer = file(QStringLiteral("missing/statement.pdf"));
    commands.mnuExportPdf_Click();
    QCOMPARE(recorded(), 0);
    QCOMPARE(messages_.filter(QStringLiteral("does not exist")).size(), 2);

    // Each way of keeping records the statement, its date's entry replaced by the next.
    const auto keep = [&](const std::function<void()>& how) {
        history::HistoryStore store;
        for (const auto& entry : store.summaries())
            store.remove(entry.id);
        how();
        QCOMPARE(recorded(), 1);
        const auto entry = store.summaries().front();
        QCOMPARE(entry.name, QStringLiteral("John Doe"));
        QCOMPARE(entry.totalAssets, qint64(1974979));
        QCOMPARE(entry.totalLiabilities, qint64(287514));
        QCOMPARE(entry.netWorth, qint64(1687465));
        QCOMPARE(entry.currency, QStringLiteral("USD"));
        QCOMPARE(store.figures(entry.id)->assets[0].cents, qint64(15032));
    };
    answer = file(QStringLiteral("statement.xls"));
    keep([&] { click(&form2, "PushButton6"); });
    answer = file(QStringLiteral("statement.pdf"));
    keep([&] { commands.mnuExportPdf_Click(); });
    answer = file(QStringLiteral("statement.png"));
    keep([&] { commands.mnuSavePicture_Click(); });
    commands.setPrintDialog([&](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file(QStringLiteral("printed.pdf")));
        return true;
    });
    keep([&] { commands.mnuPrint_Click(); });
    QVERIFY2(messages_.filter(QStringLiteral("RecordStatement")).isEmpty(),
             qPrintable(messages_.join(u'\n')));

    // The preview's menu opens the history, which shows the new entry.
    QVERIFY(!program.historyWindow());
    commands.historyAction()->trigger();
    QVERIFY(program.historyWindow() && program.historyWindow()->isVisible());
    QCOMPARE(program.historyWindow()->entries().size(), size_t(1));
}

// An entry goes back into the main window's fields (and so into the store) once the user agrees.
void HistoryRecordingTest::openedBackIntoTheMainWindow() {
    app::Program program;
    program.start();
    click(&program.mainWindow(), "PushButton7");
    click(&program.mainWindow(), "PushButton22");
    program.preview().setSaveDialog([&](QWidget*, const QString&, const QString&, const QString&) {
        return file(QStringLiteral("a.xls"));
    });
    click(&program.preview(), "PushButton6");
    click(&program.preview(), "PushButton8");  // back to the main window
    QVERIFY(program.mainWindow().isVisible());

    entry::Form1& form1 = program.mainWindow();
    auto* name = form1.findChild<QLineEdit*>(QStringLiteral("txtName"));
    QVERIFY(name);
    name->setText(QStringLiteral("Someone Else"));
    for (QAction* action : form1.actions())
        if (action->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_H))
            action->trigger();
    QVERIFY(program.historyWindow() && program.historyWindow()->isVisible());
    history::HistoryWindow& window = *program.historyWindow();
    window.selectEntry(0);
    window.cmdOpenInStatement_Click();
    QCOMPARE(messages_.filter(QStringLiteral("It replaces every field")).size(), 1);
    QCOMPARE(name->text(), QStringLiteral("John Doe"));
    QCOMPARE(form1.statement().assetAmounts[0], QStringLiteral("$150.32"));
    QCOMPARE(shell::SettingsStore().value(shell::keys::name()),
             std::optional<QString>(QStringLiteral("John Doe")));
}

int runHistoryRecordingTests(int argc, char** argv) {
    HistoryRecordingTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "history_recording_test.moc"
