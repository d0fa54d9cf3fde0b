#include <QDateTime>
#include <QFileInfo>
#include <algorithm>

#include "generation/application.h"
#include "generation/application_state.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/safe_file.h"
#include "spreadsheet/workbook_writer.h"

namespace generation {

namespace {
const QString kWorkbookObject = QStringLiteral("_Workbook");
const QString kWorksheetObject = QStringLiteral("_Worksheet");

// As a spreadsheet stamps a save: the time of saving, which is also the creation time of a workbook
// made from a template (or of one that never had one).
void stampSaveTimes(spreadsheet::DocumentProperties& properties, bool fromTemplate) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    properties.lastSaved = now;
    if (fromTemplate || !properties.created.isValid())
        properties.created = now;
}

[[noreturn]] void raiseObjectDefined() {
    throw shell::RuntimeError(QStringLiteral("Application-defined or object-defined error"));
}
}  // namespace

detail::BookState& Workbook::book() const {
    if (!book_)
        detail::raiseNothing();
    if (!book_->open)
        detail::raiseDisconnected();
    return *book_;
}

QString Workbook::Name() const {
    return QFileInfo(book().fullName).fileName();
}
QString Workbook::FullName() const {
    return book().fullName;
}
bool Workbook::ReadOnly() const {
    return book().readOnly;
}
const spreadsheet::Workbook& Workbook::model() const {
    auto& state = book();
    detail::calculateFor(state, detail::Need::Read);
    return state.model;
}

Worksheet Workbook::Worksheets(int index) const {
    auto& state = book();
    if (index < 1 || index > static_cast<int>(state.model.sheets.size()))
        throw shell::RuntimeError(QStringLiteral("Subscript out of range"));
    return Worksheet(book_, index - 1);
}

Worksheet Workbook::ActiveSheet() const {
    auto& state = book();
    if (state.model.sheets.empty())
        detail::raiseNothing();
    return Worksheet(book_, state.model.activeSheetIndex());
}

void Workbook::SaveAs(const QString& path, int fileFormat) {
    auto& state = book();
    if (fileFormat != xlExcel8 && fileFormat != xlWorkbookNormal) {
        detail::raiseMethodFailed(
            kWorkbookObject, "SaveAs",
            QStringLiteral("file format %1 is not supported; this spreadsheet application "
                           "saves Excel 97-2003 workbooks (56 or -4143)")
                .arg(fileFormat));
    }
    if (path.isEmpty())
        detail::raiseMethodFailed(kWorkbookObject, "SaveAs", QStringLiteral("no file name given"));
    if (state.readOnly && shell::sameFile(path, state.fullName)) {
        detail::raiseMethodFailed(kWorkbookObject, "SaveAs",
                                  QStringLiteral("'%1' is read-only. To save a copy, choose another name.")
                                      .arg(QFileInfo(path).fileName()));
    }
    spreadsheet::Workbook saved;
    QByteArray bytes;
    detail::guarded(kWorkbookObject, "SaveAs", [&] {
        detail::calculateFor(state, detail::Need::Save);
        saved = state.model;
        // Both codes ask for a workbook, so a template saved this way stops being one.
        saved.isTemplate = false;
        stampSaveTimes(saved.properties, state.model.isTemplate);
        bytes = spreadsheet::workbookFileBytes(saved);
    });
    try {
        // Under a fresh name and renamed into place: the file at the path is whole, and a link there is
        // replaced itself, never written through.
        shell::replaceFile(path, bytes);
    } catch (const shell::RuntimeError& error) {
        detail::raiseMethodFailed(kWorkbookObject, "SaveAs", error.description());
    }
    state.model.properties = saved.properties;
    state.model.isTemplate = false;
    state.fullName = QFileInfo(path).absoluteFilePath();
    state.readOnly = false;
}

void Workbook::Close() {
    auto& state = book();
    state.open = false;
    if (auto app = state.app.lock()) {
        std::erase(app->books, book_);
        if (app->active == book_)
            app->active = app->books.empty() ? nullptr : app->books.back();
    }
}

detail::BookState& Worksheet::book() const {
    if (!book_)
        detail::raiseNothing();
    if (!book_->open)
        detail::raiseDisconnected();
    return *book_;
}

QString Worksheet::Name() const {
    return book().model.sheets.at(static_cast<std::size_t>(sheet_)).name;
}

generation::Range Worksheet::Cells(int row, int column) const {
    book();
    const spreadsheet::CellRef ref{row - 1, column - 1};
    if (!ref.isValid())
        raiseObjectDefined();
    return generation::Range(book_, sheet_, {ref, ref}, generation::Range::Kind::Cells);
}

generation::Range Worksheet::Range(const QString& address) const {
    book();
    const auto parsed = spreadsheet::parseRangeName(address);
    if (!parsed) {
        detail::raiseMethodFailed(
            kWorksheetObject, "Range",
            QStringLiteral("'%1' is not the address of a cell or a range").arg(address));
    }
    const spreadsheet::CellRange range{
        {std::min(parsed->first.row, parsed->last.row), std::min(parsed->first.column, parsed->last.column)},
        {std::max(parsed->first.row, parsed->last.row), std::max(parsed->first.column, parsed->last.column)}};
    return generation::Range(book_, sheet_, range, generation::Range::Kind::Cells);
}

generation::Range Worksheet::UsedRange() const {
    const auto& sheet = book().model.sheets.at(static_cast<std::size_t>(sheet_));
    const auto used = sheet.usedRange().value_or(spreadsheet::CellRange{});
    return generation::Range(book_, sheet_, used, generation::Range::Kind::Cells);
}

}  // namespace generation
