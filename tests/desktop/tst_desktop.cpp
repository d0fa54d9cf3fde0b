// The desktop tests in one executable, on a platform with several virtual screens of different sizes and
// pixel densities; each test class lives in its own file.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include "desktop_fixture.h"
#include "tests/common/test_classes.h"

testing::TestClass keyboardTests();
testing::TestClass accessibilityTests();
testing::TestClass screenTests();

int main(int argc, char** argv) {
    // The platform reads its screens once, when the application starts.
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(virtualScreensConfiguration()) < 0)
        return 1;
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    QApplication app(argc, argv);
    return testing::runTestClasses(argc, argv, {keyboardTests(), accessibilityTests(), screenTests()});
}
