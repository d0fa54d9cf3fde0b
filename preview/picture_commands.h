#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "preview/command_dialogs.h"

class QAction;
class QImage;
class QMenu;
class QWidget;

namespace preview {

// The commands on the preview's picture: its context menu (right click on the picture, or the Menu key
// anywhere in the window) with "Print…", "Export as PDF…", "Copy Picture" and "Save Picture As…", and
// the shortcuts Ctrl+P and Ctrl+C. Printing and the PDF draw the generated workbook's pages from its
// page setup, as vectors and text; copying and saving take the sheet's picture as the preview got it.
//
// Each command traps its failures and reports them ("Form2" and the command's handler) and stops there.
class PictureCommands : public QObject {
    Q_OBJECT

public:
    // Where the commands find what they work on, asked afresh each time: the generated workbook's path
    // and the sheet's picture at its own size.
    struct Source {
        std::function<QString()> workbookPath;
        std::function<QImage()> picture;
    };

    // The actions are added to `window` (their shortcuts work anywhere in it); `pictureArea` is where a
    // right click opens the menu.
    PictureCommands(QWidget* window, QWidget* pictureArea, Source source);
    ~PictureCommands() override;

    // Seams; empty functions bring back the real dialogs.
    void setSaveFileDialog(SaveFileDialog dialog) { saveFileDialog_ = std::move(dialog); }
    void setPrintDialog(PrintDialog dialog) { printDialog_ = std::move(dialog); }

    QMenu* menu() const { return menu_; }
    QAction* printAction() const { return print_; }
    QAction* exportPdfAction() const { return exportPdf_; }
    QAction* copyPictureAction() const { return copyPicture_; }
    QAction* savePictureAction() const { return savePicture_; }
    QAction* historyAction() const { return history_; }

    void mnuPrint_Click();
    void mnuExportPdf_Click();
    void mnuCopyPicture_Click();
    void mnuSavePicture_Click();

signals:
    // The user kept the statement: printed it, exported it as PDF or saved its picture.
    void statementKept();
    // "Net Worth Over Time…" (Ctrl+H).
    void historyRequested();

public:
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QAction* addCommand(const QString& text, void (PictureCommands::*command)());
    QString askForFile(const QString& title, const QString& filter, const QString& suffix) const;

    QWidget* window_;
    QWidget* pictureArea_;
    Source source_;
    QMenu* menu_;
    QAction* print_ = nullptr;
    QAction* exportPdf_ = nullptr;
    QAction* copyPicture_ = nullptr;
    QAction* savePicture_ = nullptr;
    QAction* history_ = nullptr;
    SaveFileDialog saveFileDialog_;
    PrintDialog printDialog_;
};

}  // namespace preview
