// Starts the program as main() does, then either types into the main window and waits to be killed
// ("edit"), or prints the restored statement ("dump").
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

#include "app/program.h"
#include "entry/form1.h"
#include "shell/ui/message_boxes.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    // A message box would wait for a user who is not there: print it instead.
    shell::MessageBoxes::setHandler([](const shell::MessageRequest& request) {
        std::printf("message=%s\n", qPrintable(request.text));
        return shell::MessageAnswer::Ok;
    });
    app::Program program;
    program.start();
    entry::Form1& form = program.mainWindow();
    const auto box = [&form](const char* name) { return form.findChild<QLineEdit*>(QLatin1String(name)); };
    if (mode == QStringLiteral("edit")) {
        QTest::keyClicks(box("txtName"), QStringLiteral("Jane Roe"));
        box("txtAmountL_5")->selectAll();
        QTest::keyClicks(box("txtAmountL_5"), QStringLiteral("-42.5"));
        box("txtAssets_10")->clear();
        std::puts("ready");
        std::fflush(stdout);
        std::getchar();  // killed while waiting here
        return 1;
    }
    const auto record = form.statement();
    std::printf("name=%s\nasset10=%s\nliability5=%s\n", qPrintable(record.name),
                qPrintable(record.assetDescriptions[10]), qPrintable(record.liabilityAmounts[5]));
    return 0;
}
