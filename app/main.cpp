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
    if (!line.exports.isEmpty() || line.history.runWithoutWindow()) {
        // Only files are written: no window, no widgets, and no display needed. Qt's own options (a
        // -platform, a -display) concern windows, which an export has none of: they are left aside.
        app::prepareExport();
        int qtArgc = 1;
        QGuiApplication application(qtArgc, argv);
        if (!line.exports.isEmpty()) {
            if (const int code = app::runExport(line.exports); code != 0 || !line.history.runWithoutWindow())
                return code;
        }
        return app::runHistoryCommands(line.history);
    }

    app::StartUpWork work;
    QApplication application(argc, argv);
    work.finish();
    app::configureApplication();
    app::Program program;
    if (line.history.openWindow)
        program.startWithHistory();
    else
        program.start();
    return QApplication::exec();
}
