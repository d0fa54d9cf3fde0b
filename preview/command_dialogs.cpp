#include "preview/command_dialogs.h"

#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace preview {

QString askForSaveFile(QWidget* parent, const QString& title, const QString& filter,
                       const QString& suggestedPath, const QString& suffix) {
    QFileDialog dialog(parent, title, suggestedPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

bool askToPrint(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    // The whole sheet prints, as its page setup breaks it: there is no selection or page range to choose.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace preview
