#pragma once

// The independent programs some tests check our files with (gnumeric's ssconvert, xlrd under
// /usr/bin/python3, poppler's PDF tools, LibreOffice). scripts/install-deps.sh installs them. Where one is
// missing a test is skipped, unless QUILLBERRY_REQUIRE_ORACLES=1 (CI sets it): then it fails, so that a
// machine without the tools cannot pass by checking nothing.

#include <QString>
#include <QStringList>
#include <QTest>

namespace testing {

// Empty when every program is found (on the PATH, or at its absolute path); otherwise what is missing and
// which package holds it.
QString missingPrograms(const QStringList& programs);

// Empty when /usr/bin/python3 imports the module; otherwise what is missing.
QString missingPythonModule(const QString& module);

// Whether a missing tool fails the test instead of skipping it.
bool oraclesRequired();

}  // namespace testing

// Skips the test (or the whole class, in initTestCase) for a missing tool, or fails it when the tools are
// required. `missing` is what missingPrograms or missingPythonModule returned; nothing happens when empty.
#define QB_REQUIRE_TOOLS(missing)                                                                            \
    do {                                                                                                     \
        const QString qbMissing_ = (missing);                                                                \
        if (!qbMissing_.isEmpty()) {                                                                         \
            if (testing::oraclesRequired())                                                                  \
                QFAIL(qPrintable(qbMissing_ + QStringLiteral(" (required: QUILLBERRY_REQUIRE_ORACLES=1)"))); \
            QSKIP(qPrintable(qbMissing_ + QStringLiteral(" (scripts/install-deps.sh installs it)")));        \
        }                                                                                                    \
    } while (false)
