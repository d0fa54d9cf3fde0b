#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <cerrno>

#include "preview/form2.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/native_path.h"
#include "shell/core/safe_file.h"
#include "shell/core/shutdown.h"
#include "shell/core/target_file.h"
#include "shell/ui/message_boxes.h"

namespace preview {

namespace {

const QString kForm = QStringLiteral("Form2");

QString askForSaveFile(QWidget* parent, const QString& title, const QString& filter,
                       const QString& fileName) {
    // The command asks its own overwrite question; no default suffix, so a name is used as typed.
    return QFileDialog::getSaveFileName(parent, title, fileName, filter, nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

}  // namespace

void Form2::PushButton1_Click() {
    shell::Procedure p(kForm, QStringLiteral("PushButton1_Click"));
    p.step(100, [&] { view_.StepZoom(0); });
    syncView();
}

void Form2::PushButton2_Click() {
    shell::Procedure p(kForm, QStringLiteral("PushButton2_Click"));
    p.step(100, [&] { view_.StepZoom(1); });
    syncView();
}

void Form2::PushButton6_Click() {
    shell::Procedure p(kForm, QStringLiteral("PushButton6_Click"));
    QString fileName;
    QString title;
    QString filter;
    p.step(106, [&] { fileName.clear(); });
    p.step(108, [&] { title = QStringLiteral("Save File"); });
    p.step(110, [&] { filter = QStringLiteral("Excel Files (*.xls)"); });
    p.step(112, [&] {
        fileName = saveDialog_ ? saveDialog_(this, title, filter, fileName)
                               : askForSaveFile(this, title, filter, fileName);
    });
    QString target;
    p.step(114, [&] { target = fileName; });

    bool yes = false;
    bool cancelled = true;
    p.step(116, [&] { cancelled = target.isEmpty(); });
    bool ontoItself = false;
    bool confirmed = false;
    // The name as the file system holds it, bytes that are no UTF-8 included.
    const shell::NativePath chosen(target);
    if (!cancelled) {
        bool exists = false;
        p.step(118, [&] { exists = shell::FileExists(chosen); });
        if (exists) {
            p.step(120, [&] {
                yes = shell::MessageBoxes::askYesNo(
                    QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?"),
                    this);
            });
            // Nothing is deleted here: the copy replaces the old file only once it is complete, so a copy
            // that fails leaves the old file as it was. A link the user chose leads to the file it names,
            // which is replaced while the link stays.
            if (yes)
                p.step(122, [&] {
                    ontoItself = shell::sameFile(chosen, shell::NativePath(mExcelFile));
                    confirmed = true;
                });
        }
        p.step(126, [&] {
            if (!shell::FileExists(chosen))
                yes = true;
        });
    }

    bool copy = false;
    p.step(128, [&] { copy = yes; });
    bool copied = true;
    if (copy) {
        copied = p.step(130, [&] {
            if (ontoItself) {
                // The workbook already is where the user wants it; it is theirs from now on.
                keptWorkbook_ = mExcelFile;
                return;
            }
            if (fileCopy_) {
                fileCopy_(mExcelFile, target);
                return;
            }
            // A workbook that was never saved is an empty claim on its name, not a workbook.
            if (QFileInfo(mExcelFile).size() == 0 && QFileInfo(mExcelFile).isFile())
                shell::raiseFileError(ENOENT, mExcelFile, QStringLiteral("the workbook was not saved"));
            // The user said Yes to replacing the file: one that is read-only is replaced too, where its
            // folder allows, and keeps its mode.
            shell::TargetFile file(chosen, confirmed ? shell::TargetFile::ReadOnlyFile::Replace
                                                     : shell::TargetFile::ReadOnlyFile::Refuse);
            shell::copyFileTo(mExcelFile, file);
        });
    }
    // A copy that failed has been reported; confirming it as done would contradict the report.
    if (copied)
        p.step(132, [&] { shell::MessageBoxes::inform(QStringLiteral("Done."), this); });
    if (copy && copied)
        emit statementKept();
}

bool Form2::keepsWorkbook() const {
    return !keptWorkbook_.isEmpty() && keptWorkbook_ == mExcelFile;
}

void Form2::PushButton8_Click() {
    shell::Procedure p(kForm, QStringLiteral("PushButton8_Click"));
    p.step(102, [&] {
        if (!keepsWorkbook())
            shell::DeleteFileQuietly(mExcelFile);
    });
    p.step(104, [&] {
        if (!mainWindow_)
            throw shell::RuntimeError(QStringLiteral("Object variable not set"));
        mainWindow_->show();
    });
    p.step(106, [&] { hide(); });
}

void Form2::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form2::Form_QueryUnload() {
    shell::Procedure p(kForm, QStringLiteral("Form_QueryUnload"));
    p.step(100, [&] {
        if (!keepsWorkbook())
            shell::DeleteFileQuietly(mExcelFile);
    });
    p.step(102, [&] { QCoreApplication::processEvents(); });
    p.step(104, [&] { QCoreApplication::processEvents(); });
}

// Nothing else runs after this: the hidden main window ends with the process, without its closing steps.
void Form2::Form_Unload() {
    if (programEnd_)
        programEnd_();
    else
        shell::EndProgram(0);
}

}  // namespace preview
