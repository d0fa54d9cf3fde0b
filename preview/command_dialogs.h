#pragma once

// The dialogs the picture's commands ask through. Each is a function, so that tests answer them instead
// of a person; askForSaveFile and askToPrint here are the real Qt ones.

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace preview {

// Asks where to save a file; returns the chosen path, or "" when the user cancels. A name typed without
// an extension gets `suffix`. The dialog asks itself before an existing file is replaced.
using SaveFileDialog = std::function<QString(QWidget* parent, const QString& title, const QString& filter,
                                             const QString& suggestedPath, const QString& suffix)>;

// Shows the print dialog for a printer the caller has preset (paper, orientation, margins, document
// name); returns true when the user chose to print. The dialog may change the printer's settings.
using PrintDialog = std::function<bool(QPrinter& printer, QWidget* parent)>;

QString askForSaveFile(QWidget* parent, const QString& title, const QString& filter,
                       const QString& suggestedPath, const QString& suffix);

// Qt's print dialog for the preset printer, whose paper is the sheet's unless the user chooses another.
bool askToPrint(QPrinter& printer, QWidget* parent);

}  // namespace preview
