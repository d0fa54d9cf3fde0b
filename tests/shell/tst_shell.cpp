// Runs every test class of the shell area in one executable; each class lives in its own file.
#include <QApplication>

#include "tests/common/test_classes.h"

testing::TestClass fileUtilsTests();
testing::TestClass settingsStoreTests();
testing::TestClass localeAmountTests();
testing::TestClass errorReportTests();
testing::TestClass targetFileTests();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return testing::runTestClasses(
        argc, argv,
        {fileUtilsTests(), settingsStoreTests(), localeAmountTests(), errorReportTests(), targetFileTests()});
}
