#include "preview/command_dialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>

namespace preview {

namespace {

// Qt's print dialog (6.4) gives a CUPS printer the paper the printer has by default, not the paper the
// printer was set up with: its page setup (the "Properties" window) starts on that paper, and accepting
// the dialog without opening the page setup puts it in as well. This shows the sheet's paper when the
// page setup opens, and tells whether it was opened.
class PageSetupWatch : public QObject {
public:
    explicit PageSetupWatch(const QPageSize& paper) : paper_(paper) {}
    bool opened = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->inherits("QPrintPropertiesDialog")) {
            opened = true;
            // Each printer chosen gets a page setup of its own; each starts on the sheet's paper once.
            if (!watched->property(kPreset).toBool()) {
                watched->setProperty(kPreset, true);
                for (auto* sizes : watched->findChildren<QComboBox*>(QStringLiteral("pageSizeCombo")))
                    selectPaper(*sizes);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr const char* kPreset = "quillberrySheetPaper";

    void selectPaper(QComboBox& sizes) const {
        for (int i = 0; i < sizes.count(); ++i) {
            const QVariant size = sizes.itemData(i);
            if (size.canConvert<QPageSize>() && size.value<QPageSize>().isEquivalentTo(paper_)) {
                sizes.setCurrentIndex(i);
                return;
            }
        }
    }

    QPageSize paper_;
};

}  // namespace

bool askToPrint(QPrinter& printer, QWidget* parent) {
    const QPageSize sheetPaper = printer.pageLayout().pageSize();
    QPrintDialog dialog(&printer, parent);
    // The whole sheet prints, as its page setup breaks it: there is no selection or page range to choose.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    PageSetupWatch watch(sheetPaper);
    qApp->installEventFilter(&watch);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    qApp->removeEventFilter(&watch);
    // Unless the user saw the paper in the page setup, it is the sheet's.
    if (accepted && !watch.opened && !printer.pageLayout().pageSize().isEquivalentTo(sheetPaper))
        printer.setPageSize(sheetPaper);
    return accepted;
}

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
