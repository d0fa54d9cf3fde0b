#pragma once

// Printing needs Qt's print support, and through it the printing system's libraries. They live in a
// module of their own that is loaded the first time the user prints, so that a start loads none of them.
// The module's functions take and return the printer by pointer only: nothing outside the module calls
// into Qt's print support, and the program does not link it.

class QPagedPaintDevice;
class QPrinter;
class QString;
class QWidget;

namespace preview {

struct PrintModule {
    // A high-resolution printer for the named document; destroyPrinter deletes it.
    QPrinter* (*createPrinter)(const QString& documentName, const QString& creator);
    void (*destroyPrinter)(QPrinter* printer);
    // The printer as a device to set the page layout of and to draw on.
    QPagedPaintDevice* (*paintDevice)(QPrinter* printer);
    // Qt's print dialog for the preset printer; true when the user chose to print. The dialog may change
    // the printer's settings.
    bool (*askToPrint)(QPrinter* printer, QWidget* parent);
};

// The module's functions, loaded on first use. Throws shell::RuntimeError when the module cannot be
// loaded.
const PrintModule& printModule();

}  // namespace preview

// The module's one entry point.
extern "C" const preview::PrintModule* quillberry_print_module();
