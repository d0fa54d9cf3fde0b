// Runs every test class of the main window in one executable; each class lives in its own file.
#include <QApplication>
#include <QTest>

int runForm1StartupTests(int argc, char** argv);
int runForm1EditingTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto run : {runForm1StartupTests, runForm1EditingTests})
        failures += run(argc, argv);
    return failures;
}
