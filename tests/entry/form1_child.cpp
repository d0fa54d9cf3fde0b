// Starts the program as main() does, then either types into the main window and waits to be killed
// ("edit"), or prints the restored statement ("dump"), or for the seconds given types another statement
// field by field and loads the sample over it, again and again ("sample SECONDS").
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
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
    if (mode == QStringLiteral("sample")) {
        const qint64 seconds = argc > 2 ? QByteArray(argv[2]).toLongLong() : 5;
        QElapsedTimer running;
        running.start();
        int cycles = 0;
        // The other statement's name comes first, so that while its amounts are typed one by one the
        // store never holds the sample's name with an amount that is not the sample's.
        while (running.elapsed() < seconds * 1000) {
            box("txtName")->setText(QStringLiteral("Jane Roe"));
            for (int i = 0; i < 11; ++i)
                box(qPrintable(QStringLiteral("txtAmountAssets_%1").arg(i)))->setText(QStringLiteral("1"));
            for (int i = 0; i < 6; ++i)
                box(qPrintable(QStringLiteral("txtAmountL_%1").arg(i)))->setText(QStringLiteral("2"));
            QThread::msleep(20);
            form.findChild<QPushButton*>(QStringLiteral("PushButton7"))->click();
            QThread::msleep(20);
            ++cycles;
        }
        std::printf("cycles=%d\n", cycles);
        return 0;
    }
    const auto record = form.statement();
    std::printf("name=%s\nasset10=%s\nliability5=%s\n", qPrintable(record.name),
                qPrintable(record.assetDescriptions[10]), qPrintable(record.liabilityAmounts[5]));
    return 0;
}
