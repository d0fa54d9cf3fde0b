#include "preview/command_dialogs.h"

#include <QFileDialog>

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

}  // namespace preview
