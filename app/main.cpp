#include <QApplication>
#include <QGuiApplication>
#include <csignal>

#include "app/command_line.h"
#include "app/program.h"
#include "app/start_up_work.h"
#include "shell/core/target_file.h"

int main(int argc, char** argv) {
    shell::guardStandardStreams();
    // A file that grows past the process's size limit (ulimit -f) fails its write with EFBIG, which is
    // reported and leaves the old file in place, instead of killing the program without a word.
    std::signal(SIGXFSZ, SIG_IGN);
    const app::CommandLine line = app::readCommandLine(argc, argv);
    if (line.exitCode)
        return *line.exitCode;
    if (!line.exports.isEmpty()) {
        // Only files are written: no window, no widgets, and no display needed. Qt's own options (a
        // -platform, a -display) concern windows, which an export has none of: they are left aside.
        app::prepareExport();
        int qtArgc = 1;
        QGuiApplication application(qtArgc, argv);
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
