#include <QTest>

#include "tst_pages.h"

QTEST_MAIN(TestPages)
