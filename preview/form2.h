#pragma once

#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

#include "generation/generated_statement.h"
#include "preview/image_view_model.h"
#include "preview/picture_commands.h"
#include "shell/core/mouse_pointer.h"

namespace Ui {
class Form2;
}

class QScrollBar;

namespace preview {

// The preview window: shows the picture of the generated sheet, zooms and pans it, and saves the
// generated workbook where the user wants it.
class Form2 : public QWidget {
    Q_OBJECT

public:
    // Asks for a file to save to; returns "" when the user cancels. The name is used as typed.
    using SaveDialog = std::function<QString(QWidget* parent, const QString& title, const QString& filter,
                                             const QString& fileName)>;
    // Copies a file; throws shell::RuntimeError with the file system's reason when it cannot.
    using FileCopy = std::function<void(const QString& source, const QString& target)>;
    using ProgramEnd = std::function<void()>;

    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // The load step: colours, caption, hand cursor.
    void Form_Load();

    // --- Hand-over from the generation run, in this order: picture, path, re-arm, show.
    // The picture view takes the picture and sizes itself to it.
    void setPicture(const QImage& picture);
    // Full path of the generated workbook in the temporary folder; "< Back" and closing delete it. The
    // workbook is read once here: the picture's description carries its totals, and on a screen with
    // more than one device pixel to a pixel the picture is drawn again from it, sharp.
    void setExcelFile(const QString& path);
    const QString& excelFile() const { return mExcelFile; }
    // The view is set up from the picture on the next activation (or show).
    void rearmFirstShow() { mFirstShow = true; }
    bool firstShowDue() const { return mFirstShow; }

    // Where "< Back" returns to.
    void setMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    void SetHScrollbarByPercent(int percent);
    void SetVScrollbarByPercent(int percent);

    void setMousePointer(shell::MousePointer pointer);
    shell::MousePointer mousePointer() const { return pointer_; }
    // The hand cursor from the program folder, if one was found at load.
    std::optional<QCursor> handCursor() const { return handCursor_; }

    // Seams; empty functions bring back the real dialog, copy and ending. Without its own ending the
    // window ends the program through shell::EndProgram, whose handler tests may replace instead.
    void setSaveDialog(SaveDialog dialog) { saveDialog_ = std::move(dialog); }
    void setFileCopy(FileCopy copy) { fileCopy_ = std::move(copy); }
    void setProgramEnd(ProgramEnd end) { programEnd_ = std::move(end); }

    const preview::ImageViewModel& view() const { return view_; }
    // The picture's context menu and shortcuts: print, PDF, copy and save the picture.
    PictureCommands& pictureCommands() { return *pictureCommands_; }

signals:
    // The user kept the statement: saved the workbook, printed it, exported it as PDF or saved its
    // picture. Showing the preview alone keeps nothing.
    void statementKept();
    // "Net Worth Over Time…" from the picture's menu, or Ctrl+H.
    void historyRequested();

public:
protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Unload();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton6_Click();
    void PushButton8_Click();

    void placeOnScreen();
    void sharpenPicture();
    void followScreen();

    bool keepsWorkbook() const;
    void connectView();
    void syncView();
    static void syncBar(QScrollBar* bar, const preview::ScrollBarModel& model);

    std::unique_ptr<Ui::Form2> ui_;
    preview::ImageViewModel view_;
    QString mExcelFile;
    bool mFirstShow = true;
    shell::MousePointer pointer_ = shell::MousePointer::Default;
    std::optional<QCursor> handCursor_;
    QPointer<QWidget> mainWindow_;
    // A workbook the user saved onto itself is theirs now: going back or closing leaves it alone.
    QString keptWorkbook_;
    std::optional<generation::GeneratedStatement> sheet_;
    bool followsScreen_ = false;
    SaveDialog saveDialog_;
    FileCopy fileCopy_;
    ProgramEnd programEnd_;
    PictureCommands* pictureCommands_ = nullptr;  // a child of the window
    // What holds the controls where the window is too large for its screen and its content scrolls.
    QPointer<QWidget> fitContent_;
};

}  // namespace preview
