// The floor for start-up: a Qt Widgets program that shows one empty window of the main window's size.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(536, 631);  // the main window's client area, 8040 x 9465 twips
    window.show();
    return QApplication::exec();
}
