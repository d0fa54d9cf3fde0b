// An installation whose printing module is missing: printing reports that at the step that loads the
// module, shows no print dialog and leaves the preview open, and the next print looks for the module
// again. This executable is built without the module's folder on its run-time search path, which is
// where the program finds the module.

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "preview/form2.h"
#include "preview/picture_commands.h"
#include "preview/print_module.h"
#include "shell/core/error_report.h"
#include "shell/core/shutdown.h"

class TestPrintModuleMissing : public QObject {
    Q_OBJECT

private slots:
    void printReportsTheMissingModuleEachTime();
};

void TestPrintModuleMissing::printReportsTheMissingModuleEachTime() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // Any workbook the engine reads will do: the print fails before anything is drawn.
    const QString workbook = dir.filePath(QStringLiteral("statement.xls"));
    QVERIFY(QFile::copy(QStringLiteral(":/CUSTOM/101"), workbook));

    QStringList reports;
    shell::setErrorReporter([&reports](const shell::ErrorReport& report) {
        reports << report.location + QString::number(report.line) + u' ' + report.description;
    });
    int endings = 0;
    shell::setEndProgramHandler([&endings](int) { ++endings; });

    preview::Form2 form;
    form.Form_Load();
    form.setExcelFile(workbook);
    int dialogs = 0;
    form.pictureCommands().setPrintDialog([&dialogs](QPrinter&, QWidget*) {
        ++dialogs;
        return false;
    });

    form.pictureCommands().mnuPrint_Click();
    form.pictureCommands().mnuPrint_Click();

    QCOMPARE(reports.size(), 2);
    for (const QString& report : reports) {
        QVERIFY2(report.contains(u".Form2.mnuPrint_Click 102 The printing module cannot be loaded: "),
                 qPrintable(report));
    }
    QCOMPARE(dialogs, 0);
    QCOMPARE(endings, 0);
    QVERIFY_THROWS_EXCEPTION(shell::RuntimeError, preview::printModule());
}

QTEST_MAIN(TestPrintModuleMissing)
#include "tst_print_module_missing.moc"
