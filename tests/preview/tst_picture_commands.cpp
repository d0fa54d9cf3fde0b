// The preview's picture commands through their seams: the context menu and the shortcuts reach them,
// printing goes to the printer the print dialog answers with (a PDF file here), exporting writes a PDF
// with the statement's title and author, and the picture goes to the clipboard and to a PNG file. The
// PDFs are read back by poppler's pdfinfo; the page drawing itself is the engine's and tested there.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <optional>

#include "entry/sample_data.h"
#include "generation/application.h"
#include "generation/automation.h"
#include "generation/cell_map.h"
#include "preview/form2.h"
#include "preview/picture_commands.h"
#include "shell/core/error_report.h"
#include "shell/core/shutdown.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"
#include "tests/common/oracles.h"

namespace {

// Brackets, a backslash and a letter outside ASCII: all must reach the PDF's information unchanged.
const QString kName = QStringLiteral("Zo\u00EB (O'Brien) \\ Jr");

QString pdfInfo(const QString& pdf, const QString& key, QString* complaints = nullptr) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {pdf});
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return QStringLiteral("(pdfinfo failed)");
    if (complaints)
        *complaints = QString::fromUtf8(process.readAllStandardError());
    const QRegularExpression line(QStringLiteral("^%1:\\s*(.*)$").arg(key),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromUtf8(process.readAllStandardOutput())).captured(1).trimmed();
}

QStringList commandTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* action : menu->actions())
        if (!action->isSeparator())
            texts << action->text();
    return texts;
}

void contextMenu(QWidget* widget, QContextMenuEvent::Reason reason) {
    const QPoint at(widget->width() / 2, widget->height() / 2);
    QContextMenuEvent event(reason, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class TestPictureCommands : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void menuAndShortcutsReachTheCommands();
    void printGoesToThePrinterPresetFromThePageSetup();
    void exportPdfCarriesTitleAndAuthor();
    void pictureGoesToClipboardAndPng();

private:
    preview::PictureCommands& commands() { return form_->pictureCommands(); }
    QString path(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<preview::Form2> form_;
    QImage picture_;
    QStringList reports_;
    QStringList dialogCalls_;
    QString dialogAnswer_;
    QString missingTools_;
};

void TestPictureCommands::initTestCase() {
    missingTools_ = testing::missingPrograms({QStringLiteral("pdfinfo")});
}

// The preview as a generation run leaves it: the statement's workbook in the folder, its picture shown.
void TestPictureCommands::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    reports_.clear();
    dialogCalls_.clear();
    dialogAnswer_.clear();
    shell::setErrorReporter([this](const shell::ErrorReport& report) {
        reports_ << QStringLiteral("%1 %2").arg(report.line).arg(report.description);
    });
    shell::setEndProgramHandler([](int) {});

    QFile resource(QStringLiteral(":/CUSTOM/101"));
    QVERIFY(resource.copy(path(QStringLiteral("template.xlt"))));
    auto statement = entry::sample::sampleStatement(QDate(2021, 3, 5));
    statement.name = kName;
    const QString workbookPath = path(QStringLiteral("vornik12345678.xls"));
    {
        auto app = generation::CreateObject(QStringLiteral("Excel.Application"));
        generation::Workbook book = app->Workbooks().Open(path(QStringLiteral("template.xlt")), true);
        for (const auto& write : generation::statementCells(statement))
            generation::writeCell(app->Worksheets(1), write);
        book.SaveAs(workbookPath, generation::xlExcel8);
        app->Quit();
    }
    const spreadsheet::Workbook workbook = spreadsheet::readWorkbookFile(workbookPath);
    const int sheet = workbook.activeSheetIndex();
    picture_ = spreadsheet::renderRange(workbook, sheet, *workbook.sheets[size_t(sheet)].usedRange());

    form_ = std::make_unique<preview::Form2>();
    form_->Form_Load();
    form_->setPicture(picture_);
    form_->setExcelFile(workbookPath);
    form_->rearmFirstShow();
    form_->show();
    commands().setSaveFileDialog([this](QWidget*, const QString& title, const QString& filter,
                                        const QString& suggested, const QString& suffix) {
        dialogCalls_ << QStringList{title, filter, QFileInfo(suggested).fileName(), suffix}.join(u'|');
        return dialogAnswer_;
    });
    commands().setPrintDialog([](QPrinter&, QWidget*) {
        qWarning("the print dialog was not expected");
        return false;
    });
}

void TestPictureCommands::cleanup() {
    form_.reset();
    shell::setErrorReporter({});
    shell::setEndProgramHandler({});
    dir_.reset();
}

void TestPictureCommands::menuAndShortcutsReachTheCommands() {
    auto* picture = form_->findChild<QWidget*>(QStringLiteral("Picture1"));
    auto* button = form_->findChild<QPushButton*>(QStringLiteral("PushButton1"));
    QVERIFY(picture && button);

    // A right click on the picture opens the menu; on a button it does not; the Menu key does wherever
    // the focus is.
    contextMenu(picture, QContextMenuEvent::Mouse);
    QCOMPARE(QApplication::activePopupWidget(), commands().menu());
    QCOMPARE(commandTexts(commands().menu()),
             (QStringList{QStringLiteral("Print\u2026"), QStringLiteral("Export as PDF\u2026"),
                          QStringLiteral("Copy Picture"), QStringLiteral("Save Picture As\u2026"),
                          QStringLiteral("Net Worth Over Time\u2026")}));
    commands().menu()->close();
    contextMenu(button, QContextMenuEvent::Mouse);
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    contextMenu(button, QContextMenuEvent::Keyboard);
    QCOMPARE(QApplication::activePopupWidget(), commands().menu());

    // A menu entry runs its command: "Save Picture As…" asks for a file.
    commands().savePictureAction()->trigger();
    QCOMPARE(dialogCalls_,
             QStringList{"Save Picture As|PNG Images (*.png)|Personal Financial Statement.png|png"});
    commands().menu()->close();

    // Ctrl+P prints and Ctrl+C copies, from wherever the focus is in the window.
    form_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(form_.get()));
    button->setFocus();
    int printDialogs = 0;
    commands().setPrintDialog([&printDialogs](QPrinter&, QWidget*) {
        ++printDialogs;
        return false;
    });
    QTest::keyClick(button, Qt::Key_P, Qt::ControlModifier);
    QCOMPARE(printDialogs, 1);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(button, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->image().size(), picture_.size());
    QCOMPARE(reports_, QStringList());
}

void TestPictureCommands::printGoesToThePrinterPresetFromThePageSetup() {
    QB_REQUIRE_TOOLS(missingTools_);
    // The dialog shows the sheet's page setup; what the user leaves or changes there is what prints.
    const struct {
        const char* name;
        std::optional<QPageSize::PageSizeId> chosenPaper;
        QString pageSize;
    } cases[] = {
        {"as the sheet sets it up", std::nullopt, QStringLiteral("612 x 792 pts (letter)")},
        {"on paper chosen in the dialog", QPageSize::A4, QStringLiteral("595 x 842 pts (A4)")},
    };
    for (const auto& test : cases) {
        const QString pdf = path(QString::fromLatin1(test.name) + QStringLiteral(".pdf"));
        QPageLayout shown;
        QString document;
        commands().setPrintDialog([&](QPrinter& printer, QWidget*) {
            shown = printer.pageLayout();
            document = printer.docName();
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            if (test.chosenPaper)
                printer.setPageSize(QPageSize(*test.chosenPaper));
            return true;
        });
        commands().mnuPrint_Click();
        QCOMPARE(reports_, QStringList());
        QCOMPARE(shown.pageSize().id(), QPageSize::Letter);
        QCOMPARE(shown.orientation(), QPageLayout::Portrait);
        QCOMPARE(shown.margins(QPageLayout::Inch), QMarginsF(0.75, 1.0, 0.75, 1.0));
        QCOMPARE(document, QStringLiteral("Personal Financial Statement"));
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Pages")), QStringLiteral("1"));
        QCOMPARE(pdfInfo(pdf, QStringLiteral("Page size")), test.pageSize);
    }

    // Cancelling the dialog prints nothing.
    commands().setPrintDialog([this](QPrinter& printer, QWidget*) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(QStringLiteral("cancelled.pdf")));
        return false;
    });
    commands().mnuPrint_Click();
    QVERIFY(!QFile::exists(path(QStringLiteral("cancelled.pdf"))));
    QCOMPARE(reports_, QStringList());
}

void TestPictureCommands::exportPdfCarriesTitleAndAuthor() {
    QB_REQUIRE_TOOLS(missingTools_);
    // Keeping the statement is what records it in the history; a cancelled or failed export keeps nothing.
    QSignalSpy kept(&commands(), &preview::PictureCommands::statementKept);
    dialogAnswer_ = path(QStringLiteral("statement.pdf"));
    commands().exportPdfAction()->trigger();
    QCOMPARE(kept.size(), 1);
    QCOMPARE(dialogCalls_,
             QStringList{"Export as PDF|PDF Files (*.pdf)|Personal Financial Statement.pdf|pdf"});
    QCOMPARE(reports_, QStringList());
    QString complaints;
    QCOMPARE(pdfInfo(dialogAnswer_, QStringLiteral("Title"), &complaints),
             QStringLiteral("Personal Financial Statement"));
    QCOMPARE(complaints, QString());
    QCOMPARE(pdfInfo(dialogAnswer_, QStringLiteral("Author")), kName);
    QCOMPARE(pdfInfo(dialogAnswer_, QStringLiteral("Page size")), QStringLiteral("612 x 792 pts (letter)"));

    // Cancelled: nothing written. A folder that does not exist: reported once, and not made.
    const QStringList before = QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    dialogAnswer_.clear();
    commands().mnuExportPdf_Click();
    dialogAnswer_ = path(QStringLiteral("missing/statement.pdf"));
    commands().mnuExportPdf_Click();
    QCOMPARE(reports_.size(), 1);
    QVERIFY2(reports_[0].startsWith(u"104 ") && reports_[0].contains(u"does not exist"),
             qPrintable(reports_[0]));
    QCOMPARE(kept.size(), 1);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

void TestPictureCommands::pictureGoesToClipboardAndPng() {
    QGuiApplication::clipboard()->clear();
    commands().copyPictureAction()->trigger();
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             picture_.convertToFormat(QImage::Format_RGB32));

    // The picture at its own size, whatever the zoom.
    form_->findChild<QPushButton*>(QStringLiteral("PushButton1"))->click();
    dialogAnswer_ = path(QStringLiteral("sheet.png"));
    commands().savePictureAction()->trigger();
    QCOMPARE(reports_, QStringList());
    QCOMPARE(QImageReader(dialogAnswer_).format(), QByteArray("png"));
    QCOMPARE(QImage(dialogAnswer_).convertToFormat(QImage::Format_RGB32),
             picture_.convertToFormat(QImage::Format_RGB32));
}

QTEST_MAIN(TestPictureCommands)
#include "tst_picture_commands.moc"
