#include <QApplication>

#include "app/font_warm_up.h"
#include "app/program.h"

int main(int argc, char** argv) {
    app::FontWarmUp fonts;
    QApplication application(argc, argv);
    app::configureApplication();
    fonts.finish();
    app::Program program;
    program.start();
    return QApplication::exec();
}
