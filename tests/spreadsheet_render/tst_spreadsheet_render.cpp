// One executable for the formatter and the renderer: drawing needs a QGuiApplication for its fonts.

#include <QGuiApplication>

#include "tests/common/test_classes.h"
#include "tst_number_format.h"
#include "tst_renderer.h"
#include "tst_text_features.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    return testing::runTestClasses(
        argc, argv,
        {testing::testClass<TestNumberFormat>(), testing::testClass<TestRenderer>(),
         testing::testClass<TestTextFeatures>()});
}
