// Prints how long the main window takes from process start to shown, and what one field write costs
// (change event, settings write and sync to disk). A measurement, not a test: it asserts nothing.
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "entry/form1.h"
#include "shell/message_boxes.h"

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    shell::MessageBoxes::setHandler([](const shell::MessageRequest&) { return shell::MessageAnswer::Ok; });
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    const qint64 appReady = sinceStart.nsecsElapsed();

    {
        entry::Form1 form;
        form.Form_Load();
        form.show();
        (void)QTest::qWaitForWindowExposed(&form);
        std::printf("first start (empty store): QApplication %.1f ms, window shown at %.1f ms\n",
                    appReady / 1e6, sinceStart.nsecsElapsed() / 1e6);
    }
    QElapsedTimer again;
    again.start();
    entry::Form1 form;
    form.Form_Load();
    form.show();
    (void)QTest::qWaitForWindowExposed(&form);
    std::printf("second start (stored statement): window shown after %.1f ms\n", again.nsecsElapsed() / 1e6);

    constexpr int kWrites = 500;
    QElapsedTimer writes;
    writes.start();
    for (int i = 0; i < kWrites; ++i)
        form.txtName->setText(QStringLiteral("Name %1").arg(i));
    std::printf("one field write (change + store + sync): %.3f ms average over %d\n",
                writes.nsecsElapsed() / 1e6 / kWrites, kWrites);
    return 0;
}
