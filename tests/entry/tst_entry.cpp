// Runs every test class of the main window in one executable; each class lives in its own file.
#include <QApplication>

#include "tests/common/test_classes.h"

testing::TestClass form1StartupTests();
testing::TestClass form1EditingTests();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return testing::runTestClasses(argc, argv, {form1StartupTests(), form1EditingTests()});
}
