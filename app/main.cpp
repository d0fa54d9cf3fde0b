#include <QApplication>
#include <QGuiApplication>

#include "app/command_line.h"
#include "app/program.h"
#include "app/start_up_work.h"

int main(int argc, char** argv) {
    const app::CommandLine line = app::readCommandLine(argc, argv);
    if (line.exitCode)
        return *line.exitCode;
    if (!line.exports.isEmpty()) {
        // Only files are written: no window, no widgets, and no display needed.
        app::prepareExport();
        QGuiApplication application(argc, argv);
        return app::runExport(line.exports);
    }

    app::StartUpWork work;
    QApplication application(argc, argv);
    work.finish();
    app::configureApplication();
    app::Program program;
    program.start();
    return QApplication::exec();
}
