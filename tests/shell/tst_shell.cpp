// Runs every test class of the shell area in one executable; each class lives in its own file.
#include <QApplication>
#include <QTest>

int runFileUtilsTests(int argc, char** argv);
int runSettingsStoreTests(int argc, char** argv);
int runLocaleAmountTests(int argc, char** argv);
int runErrorReportTests(int argc, char** argv);
int runTargetFileTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto run : {runFileUtilsTests, runSettingsStoreTests, runLocaleAmountTests, runErrorReportTests,
                     runTargetFileTests}) {
        failures += run(argc, argv);
    }
    return failures;
}
