#include <QApplication>

#include "tests/common/test_classes.h"
#include "tst_form2.h"
#include "tst_image_view.h"

// The view's arithmetic and the window share one executable.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    return testing::runTestClasses(argc, argv,
                                   {testing::testClass<TestImageView>(), testing::testClass<TestForm2>()});
}
