#pragma once

#include <QImage>
#include <QString>
#include <functional>
#include <memory>

#include "generation/application.h"
#include "generation/workbook_name.h"
#include "shell/core/mouse_pointer.h"
#include "shell/core/statement.h"

namespace generation {

// How many workbook names the run draws before it reports that it found no free one.
inline constexpr int kWorkbookNameAttempts = 1000;

// What the run does to the windows, kept free of widget types: the caller fills it with the main
// window and the preview window. Members left empty are skipped.
struct HandOver {
    std::function<void(bool suspended)> suspendDrawing;        // of the main window
    std::function<void(shell::MousePointer)> setMousePointer;  // of the main window
    std::function<void(const QImage&)> setPicture;             // the preview's picture
    std::function<void(const QString&)> setWorkbookPath;       // the preview's mExcelFile
    std::function<void()> rearmFirstShow;                      // the preview's mFirstShow := true
    std::function<void()> showPreview;                         // modeless
    std::function<void()> hideMainWindow;
    // How far a run that takes more than about a second has come, 0 to 100; -1 when it has ended.
    std::function<void(int percent)> showProgress;  // on the main window
};

// "Start Creating Template": fills the embedded template with the statement, saves it as
// T/vornikDDDDDDDD.xls, draws its picture and hands both to the preview window. A run that takes more
// than about a second shows how far it has come beside the busy pointer. Every line is reported
// on failure ("Form1.PushButton22_Click") and the run goes on with the next one, except at line 108:
// a T that cannot be used, or a template path the run may not use (a link it cannot remove, another
// user's file), is reported once there and ends the run. T may be shared with other users (/tmp): the
// run writes, truncates and deletes nothing through a link there, and reads only its user's own files.
class GenerationRun {
public:
    explicit GenerationRun(HandOver handOver);

    void PushButton22_Click(const shell::StatementRecord& statement);

    // Where the digits of the workbook name come from (tests give a fixed sequence).
    void setFractionSource(FractionSource source);

    // The path of the workbook the last run saved (or meant to save).
    const QString& lastWorkbookPath() const { return lastPath_; }

private:
    void CreateExcelApp();
    void ReleaseExcelApp();
    Application& excelApp() const;

    HandOver handOver_;
    FractionSource fractions_;
    std::shared_ptr<Application> mExcelApp;
    Workbook mExcelBook;
    QString lastPath_;
};

}  // namespace generation
