// One executable for the formatter and the renderer: drawing needs a QGuiApplication for its fonts.

#include <QGuiApplication>
#include <QTest>

#include "tst_number_format.h"
#include "tst_renderer.h"
#include "tst_text_features.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    int failures = 0;
    {
        TestNumberFormat test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        TestRenderer test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        TestTextFeatures test;
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures;
}
