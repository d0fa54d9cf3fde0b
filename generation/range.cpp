#include <QLocale>

#include "generation/application.h"
#include "generation/application_state.h"
#include "generation/clipboard.h"
#include "shell/core/error_report.h"
#include "spreadsheet/error.h"
#include "spreadsheet/renderer.h"
#include "spreadsheet/typed_entry.h"

namespace generation {

namespace {
const QString kRangeObject = QStringLiteral("Range");

// A change the sheet refuses (a protected cell) is reported in the spreadsheet's own words.
template <typename Body>
void refusalsAsTheyAre(const Body& body) {
    try {
        body();
    } catch (const spreadsheet::RefusedChangeError& refusal) {
        throw shell::RuntimeError(refusal.message());
    }
}
}  // namespace

Range::Range(std::shared_ptr<detail::BookState> book, int sheet, spreadsheet::CellRange range, Kind kind)
    : book_(std::move(book)), sheet_(sheet), range_(range), kind_(kind) {}

template <typename Write>
void Range::writeCells(detail::BookState& state, const Write& write) const {
    try {
        refusalsAsTheyAre([&] {
            for (int row = range_.first.row; row <= range_.last.row; ++row)
                for (int column = range_.first.column; column <= range_.last.column; ++column)
                    write(spreadsheet::CellRef{row, column});
        });
    } catch (...) {
        // The cells written before a refusal are calculated like any others.
        detail::noteChange(state, sheet_, range_);
        throw;
    }
    detail::noteChange(state, sheet_, range_);
}

detail::BookState& Range::book() const {
    if (!book_)
        detail::raiseNothing();
    if (!book_->open)
        detail::raiseDisconnected();
    return *book_;
}

void Range::setValue(const QString& text) {
    auto& state = book();
    detail::guarded(kRangeObject, "Value", [&] {
        const QLocale locale;
        writeCells(state, [&](spreadsheet::CellRef at) {
            spreadsheet::enterText(state.model, sheet_, at, text, locale);
        });
    });
}

void Range::setValue(QDate date) {
    auto& state = book();
    if (!date.isValid())
        throw shell::RuntimeError(QStringLiteral("Type mismatch"));
    detail::guarded(kRangeObject, "Value", [&] {
        writeCells(state,
                   [&](spreadsheet::CellRef at) { spreadsheet::enterDate(state.model, sheet_, at, date); });
    });
}

spreadsheet::Value Range::Value() const {
    auto& state = book();
    detail::guarded(kRangeObject, "Value", [&] { detail::calculateFor(state, detail::Need::Read); });
    const auto& sheet = state.model.sheets.at(static_cast<std::size_t>(sheet_));
    const auto* cell = sheet.cell(range_.first);
    return cell ? cell->value : spreadsheet::Value{};
}

void Range::Select() {
    auto& state = book();
    if (state.model.activeSheetIndex() != sheet_) {
        detail::raiseMethodFailed(kRangeObject, "Select",
                                  QStringLiteral("the range's sheet is not the active sheet"));
    }
    auto& window = state.model.sheets.at(static_cast<std::size_t>(sheet_)).window;
    window.activeCell = range_.first;
    window.selection = {range_};
}

Range Range::Rows() const {
    book();
    return Range(book_, sheet_, range_, Kind::Rows);
}

Range Range::Columns() const {
    book();
    return Range(book_, sheet_, range_, Kind::Columns);
}

Range Range::Rows(int n) const {
    book();
    const int row = range_.first.row + n - 1;
    if (n < 1 || row >= spreadsheet::kMaxRows)
        throw shell::RuntimeError(QStringLiteral("Application-defined or object-defined error"));
    return Range(book_, sheet_, {{row, range_.first.column}, {row, range_.last.column}}, Kind::Cells);
}

Range Range::Columns(int n) const {
    book();
    const int column = range_.first.column + n - 1;
    if (n < 1 || column >= spreadsheet::kMaxColumns)
        throw shell::RuntimeError(QStringLiteral("Application-defined or object-defined error"));
    return Range(book_, sheet_, {{range_.first.row, column}, {range_.last.row, column}}, Kind::Cells);
}

int Range::count() const {
    book();
    switch (kind_) {
        case Kind::Rows:
            return range_.rowCount();
        case Kind::Columns:
            return range_.columnCount();
        case Kind::Cells:
            break;
    }
    return range_.rowCount() * range_.columnCount();
}

int Range::Row() const {
    book();
    return range_.first.row + 1;
}

int Range::Column() const {
    book();
    return range_.first.column + 1;
}

QString Range::Address() const {
    book();
    const auto absolute = [](spreadsheet::CellRef ref) {
        return QStringLiteral("$%1$%2").arg(spreadsheet::columnName(ref.column)).arg(ref.row + 1);
    };
    if (range_.first == range_.last)
        return absolute(range_.first);
    return absolute(range_.first) + QLatin1Char(':') + absolute(range_.last);
}

void Range::CopyPicture() const {
    auto& state = book();
    detail::guarded(kRangeObject, "CopyPicture", [&] {
        detail::calculateFor(state, detail::Need::Draw);
        // The values in the user's regional form, as the spreadsheet shows them on the user's screen.
        const QImage picture = spreadsheet::renderRange(state.model, sheet_, range_, {.locale = QLocale()});
        if (picture.isNull())
            throw shell::RuntimeError(QStringLiteral("CopyPicture method of Range class failed"));
        putPictureOnClipboard(picture);
    });
}

}  // namespace generation
