// The whole job as a user does it: sample data, "Start Creating Template", the preview, back, again.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "entry/form1.h"
#include "generation/generation_run.h"
#include "generation/window_hand_over.h"
#include "preview/form2.h"
#include "shell/message_boxes.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/workbook_reader.h"
#include "spreadsheet/workbook_writer.h"

namespace {

// The program as main() puts it together, with the preview loaded on first use.
struct Program {
    entry::Form1 form1;
    std::unique_ptr<Form2> form2;
    int programEnds = 0;
    generation::GenerationRun run{
        generation::windowHandOver(form1, [this]() -> Form2& { return preview(); })};

    Program() {
        form1.setGenerateHandler([this] { run.PushButton22_Click(form1.statement()); });
    }

    Form2& preview() {
        if (!form2) {
            form2 = std::make_unique<Form2>();
            form2->setMainWindow(&form1);
            form2->setProgramEnd([this] { ++programEnds; });
        }
        return *form2;
    }

    void click(QWidget* window, const char* button) {
        auto* pushButton = window->findChild<QPushButton*>(QString::fromLatin1(button));
        QVERIFY2(pushButton, button);
        pushButton->click();
    }
};

// What an independent reader sees in the generated workbook, one "row: values" line per row.
QStringList readWithXlrd(const QString& path) {
    const QString script = QStringLiteral(
        "import sys, xlrd\n"
        "s = xlrd.open_workbook(sys.argv[1], formatting_info=True).sheet_by_index(0)\n"
        "print(s.name)\n"
        "for r in range(s.nrows):\n"
        "    print('%d: %s' % (r + 1, ' | '.join(str(s.cell_value(r, c)) for c in range(s.ncols))))\n");
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), script, path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return {QString::fromUtf8(python.readAllStandardError())};
    return QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        QFile::remove(shell::SettingsStore::fileName());
        temp_ = std::make_unique<QTemporaryDir>();
        QVERIFY(temp_->isValid());
        qputenv("TEMP", QFile::encodeName(temp_->path()));
        reports_.clear();
        shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
            reports_ << request.text;
            return shell::MessageAnswer::Ok;
        });
    }
    void cleanup() {
        shell::MessageBoxes::setHandler({});
        qunsetenv("TEMP");
    }

    void sampleDataThenGenerate();
    void backThenAnotherRun();
    void existingTemplateIsUsedThenDeleted();
    void unreadableTemplateIsReported();

private:
    QString tempFile(const QString& name) const { return temp_->filePath(name); }

    std::unique_ptr<QTemporaryDir> temp_;
    QStringList reports_;
};

void TestEndToEnd::sampleDataThenGenerate() {
    Program program;
    program.form1.Form_Load();
    program.form1.show();
    program.click(&program.form1, "PushButton7");
    program.click(&program.form1, "PushButton22");
    QCOMPARE(reports_, QStringList{});

    QVERIFY(program.form2);
    Form2& form2 = *program.form2;
    QVERIFY(form2.isVisible());
    QVERIFY(program.form1.isHidden());
    QVERIFY(program.form1.updatesEnabled());
    QCOMPARE(program.form1.mousePointer(), entry::Form1::Default);
    QVERIFY(!form2.mFirstShow);

    QVERIFY(QFile::exists(form2.mExcelFile));
    QCOMPARE(QFileInfo(form2.mExcelFile).absolutePath(), QFileInfo(temp_->path()).absoluteFilePath());
    QVERIFY(!QFile::exists(tempFile(QStringLiteral("template.xlt"))));
    QVERIFY(!QFile::exists(tempFile(QStringLiteral("temp.bmp"))));

    const auto saved = spreadsheet::readWorkbookFile(form2.mExcelFile);
    const QImage expected = spreadsheet::renderRange(saved, 0, *saved.sheets[0].usedRange());
    QCOMPARE(form2.view().picture().size(), expected.size());

    const QStringList rows = readWithXlrd(form2.mExcelFile);
    QVERIFY2(rows.size() > 28, qPrintable(rows.join(QLatin1Char('\n'))));
    QCOMPARE(rows[0], QStringLiteral("Personal Finance Statement"));
    QCOMPARE(rows[2], QStringLiteral("2: John Doe | "));
    QCOMPARE(rows[6], QStringLiteral("6: Cash - checking accounts | 150.32"));
    QCOMPARE(rows[14], QStringLiteral("14: Real estate (market value) | 15000.0"));
    QCOMPARE(rows[17], QStringLiteral("17: Total Assets | 19749.79"));
    QCOMPARE(rows[26], QStringLiteral("26: Total Liabilities | 2875.14"));
    QCOMPARE(rows[28], QStringLiteral("28: Net Worth | 16874.65"));
}

void TestEndToEnd::backThenAnotherRun() {
    Program program;
    program.form1.Form_Load();
    program.form1.show();
    program.click(&program.form1, "PushButton7");
    program.click(&program.form1, "PushButton22");
    QVERIFY(program.form2);
    Form2& form2 = *program.form2;
    const QString first = form2.mExcelFile;
    // The sheet is too tall to zoom in past the view's limit, so zoom out.
    program.click(&form2, "PushButton2");
    QCOMPARE(form2.view().mZoom, 0.75f);

    program.click(&form2, "PushButton8");  // < Back
    QVERIFY(!QFile::exists(first));
    QVERIFY(program.form1.isVisible());
    QVERIFY(form2.isHidden());

    program.click(&program.form1, "PushButton22");
    QCOMPARE(reports_, QStringList{});
    QCOMPARE(program.form2.get(), &form2);
    QVERIFY(form2.isVisible());
    QVERIFY(program.form1.isHidden());
    QVERIFY(form2.mExcelFile != first);
    QVERIFY(QFile::exists(form2.mExcelFile));
    QCOMPARE(form2.view().mZoom, 1.0f);
    QVERIFY(!form2.view().picture().isNull());
}

void TestEndToEnd::existingTemplateIsUsedThenDeleted() {
    spreadsheet::Workbook own;
    own.addSheet(QStringLiteral("Mine"));
    own.sheets[0].cellForWriting({0, 0}).value = QStringLiteral("My own layout");
    own.sheets[0].cellForWriting({30, 2}).value = 1.0;
    spreadsheet::writeWorkbookFile(own, tempFile(QStringLiteral("template.xlt")));

    Program program;
    program.form1.Form_Load();
    program.click(&program.form1, "PushButton7");
    program.click(&program.form1, "PushButton22");
    QCOMPARE(reports_, QStringList{});
    QVERIFY(!QFile::exists(tempFile(QStringLiteral("template.xlt"))));
    const QStringList rows = readWithXlrd(program.form2->mExcelFile);
    QVERIFY2(rows.size() > 2, qPrintable(rows.join(QLatin1Char('\n'))));
    QCOMPARE(rows[0], QStringLiteral("Mine"));
    QVERIFY(rows[1].startsWith(QStringLiteral("1: My own layout")));
    QVERIFY(rows[2].startsWith(QStringLiteral("2: John Doe")));
}

void TestEndToEnd::unreadableTemplateIsReported() {
    QFile garbage(tempFile(QStringLiteral("template.xlt")));
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(600, '\xff'));
    garbage.close();

    Program program;
    program.form1.Form_Load();
    program.click(&program.form1, "PushButton22");
    QVERIFY(!reports_.isEmpty());
    QVERIFY2(reports_.first().contains(
                 QStringLiteral("in Tallowmere2021/08/31.Form1.PushButton22_Click at line 110")),
             qPrintable(reports_.first()));
    // The run went on to the end: the preview came up without a picture, the main window went away.
    QVERIFY(program.form2);
    QVERIFY(program.form2->isVisible());
    QVERIFY(program.form2->view().picture().isNull());
    QVERIFY(program.form1.isHidden());
    QVERIFY(!QFile::exists(garbage.fileName()));
    QVERIFY(!QFile::exists(program.form2->mExcelFile));
}

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
