#include <QApplication>
#include <QTest>

#include "tst_form2.h"
#include "tst_image_view.h"

// The view's arithmetic and the window share one executable.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        TestImageView test;
        status |= QTest::qExec(&test, argc, argv);
    }
    {
        TestForm2 test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}
