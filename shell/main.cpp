#include <QApplication>

#include "entry/form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brackenlow"));
    QApplication::setApplicationName(QStringLiteral("Quillberry"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/quillberry.png")));

    // The main window is the start-up object: loading it restores the statement and checks that a
    // spreadsheet application can be created; without one the program has already ended here.
    entry::Form1 form1;
    form1.Form_Load();
    form1.show();
    return QApplication::exec();
}
