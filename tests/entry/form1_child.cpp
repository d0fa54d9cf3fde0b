// Starts the main window like the program does, then either types into it and waits to be killed
// ("edit"), or prints the restored statement ("dump").
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <cstdio>

#include "entry/form1.h"
#include "shell/message_boxes.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    // A message box would wait for a user who is not there: print it instead.
    shell::MessageBoxes::setHandler([](const shell::MessageRequest& request) {
        std::printf("message=%s\n", qPrintable(request.text));
        return shell::MessageAnswer::Ok;
    });
    entry::Form1 form;
    form.Form_Load();
    if (mode == QStringLiteral("edit")) {
        QTest::keyClicks(form.txtName, QStringLiteral("Jane Roe"));
        form.txtAmountL[5]->selectAll();
        QTest::keyClicks(form.txtAmountL[5], QStringLiteral("-42.5"));
        form.txtAssets[10]->clear();
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
