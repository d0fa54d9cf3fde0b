#include "preview/picture_commands.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMenu>
#include <QPrinter>
#include <QStandardPaths>
#include <QWidget>
#include <optional>

#include "generation/clipboard.h"
#include "generation/export_file.h"
#include "generation/generated_statement.h"
#include "generation/statement_output.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"

namespace preview {

namespace {

const QString kForm = QStringLiteral("Form2");

QImage requirePicture(const QImage& picture) {
    if (picture.isNull())
        throw shell::RuntimeError(QStringLiteral("There is no picture of the sheet"));
    return picture;
}

}  // namespace

PictureCommands::PictureCommands(QWidget* window, QWidget* pictureArea, Source source)
    : QObject(window),
      window_(window),
      pictureArea_(pictureArea),
      source_(std::move(source)),
      menu_(new QMenu(window)) {
    print_ = addCommand(QStringLiteral("Print\u2026"), &PictureCommands::mnuPrint_Click);
    exportPdf_ = addCommand(QStringLiteral("Export as PDF\u2026"), &PictureCommands::mnuExportPdf_Click);
    menu_->addSeparator();
    copyPicture_ = addCommand(QStringLiteral("Copy Picture"), &PictureCommands::mnuCopyPicture_Click);
    savePicture_ =
        addCommand(QStringLiteral("Save Picture As\u2026"), &PictureCommands::mnuSavePicture_Click);
    menu_->addSeparator();
    history_ = menu_->addAction(QStringLiteral("Net Worth Over Time\u2026"));
    history_->setShortcutContext(Qt::WindowShortcut);
    connect(history_, &QAction::triggered, this, &PictureCommands::historyRequested);
    print_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    copyPicture_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    history_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    // The shortcuts work wherever the focus is in the window, not only while the menu is open.
    window_->addActions({print_, copyPicture_, history_});
    window_->installEventFilter(this);
    pictureArea_->installEventFilter(this);
}

PictureCommands::~PictureCommands() = default;

QAction* PictureCommands::addCommand(const QString& text, void (PictureCommands::*command)()) {
    QAction* action = menu_->addAction(text);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, command] { (this->*command)(); });
    return action;
}

// A right click on the picture, or the Menu key wherever the focus is: a right click elsewhere (on a
// button, say) is left alone, and the scroll bars keep their own menus.
bool PictureCommands::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::ContextMenu)
        return QObject::eventFilter(watched, event);
    auto* request = static_cast<QContextMenuEvent*>(event);
    const QRect area(pictureArea_->mapToGlobal(QPoint(0, 0)), pictureArea_->size());
    QPoint at;
    if (request->reason() == QContextMenuEvent::Keyboard)
        at = area.center();
    else if (area.contains(request->globalPos()))
        at = request->globalPos();
    else
        return QObject::eventFilter(watched, event);
    request->accept();
    // Not exec(): the window stays live behind the open menu, as with any context menu.
    menu_->popup(at);
    return true;
}

QString PictureCommands::askForFile(const QString& title, const QString& filter,
                                    const QString& suffix) const {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const QString suggested = QDir(folder).filePath(generation::kStatementTitle + u'.' + suffix);
    return saveFileDialog_ ? saveFileDialog_(window_, title, filter, suggested, suffix)
                           : askForSaveFile(window_, title, filter, suggested, suffix);
}

void PictureCommands::mnuPrint_Click() {
    shell::Procedure p(kForm, QStringLiteral("mnuPrint_Click"));
    std::optional<generation::GeneratedStatement> statement;
    if (!p.step(100, [&] { statement = generation::GeneratedStatement::read(source_.workbookPath()); }))
        return;
    QPrinter printer(QPrinter::HighResolution);
    const bool preset = p.step(102, [&] {
        printer.setDocName(generation::kStatementTitle);
        printer.setCreator(shell::product::kName);
        if (!printer.setPageLayout(statement->pageLayout()))
            throw shell::RuntimeError(
                QStringLiteral("The printer cannot take the sheet's paper and margins"));
    });
    if (!preset)
        return;
    bool accepted = false;
    p.step(104,
           [&] { accepted = printDialog_ ? printDialog_(printer, window_) : askToPrint(printer, window_); });
    if (!accepted)
        return;
    // On the paper, orientation and margins as the dialog left them.
    if (p.step(106, [&] { statement->print(printer); }))
        emit statementKept();
}

void PictureCommands::mnuExportPdf_Click() {
    shell::Procedure p(kForm, QStringLiteral("mnuExportPdf_Click"));
    QString target;
    if (!p.step(100,
                [&] {
                    target = askForFile(QStringLiteral("Export as PDF"), QStringLiteral("PDF Files (*.pdf)"),
                                        QStringLiteral("pdf"));
                }) ||
        target.isEmpty())
        return;
    std::optional<generation::GeneratedStatement> statement;
    if (!p.step(102, [&] { statement = generation::GeneratedStatement::read(source_.workbookPath()); }))
        return;
    if (p.step(104, [&] { generation::writeExportFile(target, statement->pdf()); }))
        emit statementKept();
}

void PictureCommands::mnuCopyPicture_Click() {
    shell::Procedure p(kForm, QStringLiteral("mnuCopyPicture_Click"));
    p.step(100, [&] { generation::putPictureOnClipboard(requirePicture(source_.picture())); });
}

void PictureCommands::mnuSavePicture_Click() {
    shell::Procedure p(kForm, QStringLiteral("mnuSavePicture_Click"));
    QString target;
    if (!p.step(100,
                [&] {
                    target = askForFile(QStringLiteral("Save Picture As"),
                                        QStringLiteral("PNG Images (*.png)"), QStringLiteral("png"));
                }) ||
        target.isEmpty())
        return;
    if (p.step(102, [&] {
            generation::writeExportFile(target, generation::pngBytes(requirePicture(source_.picture())));
        }))
        emit statementKept();
}

}  // namespace preview
