// The floors for start-up: a Qt Widgets program that shows one empty window of the main window's size,
// and (built with QB_WITH_LABEL) the same window showing one line of text, which is the least any window
// with text pays: the font configuration, the font database, one font and its shaping.
#include <QApplication>
#include <QWidget>
#ifdef QB_WITH_LABEL
#include <QLabel>
#endif

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.setFixedSize(536, 631);  // the main window's client area, 8040 x 9465 twips
#ifdef QB_WITH_LABEL
    QLabel label(QStringLiteral("Start Creating Template"), &window);
#endif
    window.show();
    return QApplication::exec();
}
