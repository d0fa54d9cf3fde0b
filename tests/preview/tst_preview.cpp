#include <QApplication>
#include <QTest>

#include "tst_image_view.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    {
        TestImageView test;
        status |= QTest::qExec(&test, argc, argv);
    }
    return status;
}
