// Runs every test class of the history area in one executable; each class lives in its own file.
#include <QApplication>
#include <QTest>

int runHistoryStoreTests(int argc, char** argv);
int runHistoryFilesTests(int argc, char** argv);
int runHistoryWindowTests(int argc, char** argv);
int runHistoryRecordingTests(int argc, char** argv);

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto run :
         {runHistoryStoreTests, runHistoryFilesTests, runHistoryWindowTests, runHistoryRecordingTests})
        failures += run(argc, argv);
    return failures;
}
