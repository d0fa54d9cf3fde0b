#include <QApplication>
#include <QGuiApplication>

#include "app/command_line.h"
#include "app/font_warm_up.h"
#include "app/program.h"

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

    app::FontWarmUp fonts;
    QApplication application(argc, argv);
    app::configureApplication();
    fonts.finish();
    app::Program program;
    program.start();
    return QApplication::exec();
}
