#include <QApplication>

#include <memory>

#include "entry/form1.h"
#include "generation/generation_run.h"
#include "generation/window_hand_over.h"
#include "preview/form2.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brackenlow"));
    QApplication::setApplicationName(QStringLiteral("Quillberry"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/app/quillberry.png")));

    // The main window is the start-up object: loading it restores the statement and checks that a
    // spreadsheet application can be created; without one the program has already ended here.
    entry::Form1 form1;
    form1.Form_Load();
    // The preview window is loaded by the first run that hands a sheet over to it.
    std::unique_ptr<Form2> form2;
    const auto preview = [&]() -> Form2& {
        if (!form2) {
            form2 = std::make_unique<Form2>();
            form2->setMainWindow(&form1);
        }
        return *form2;
    };
    generation::GenerationRun run(generation::windowHandOver(form1, preview));
    form1.setGenerateHandler([&] { run.PushButton22_Click(form1.statement()); });
    form1.show();
    return QApplication::exec();
}
