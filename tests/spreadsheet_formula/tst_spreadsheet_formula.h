#pragma once

#include "tests/common/test_classes.h"
#include "value_description.h"

// The test classes of this executable, run by its main().
testing::TestClass formulaTests();
testing::TestClass typedEntryTests();
testing::TestClass statementTests();
testing::TestClass calculationTests();
