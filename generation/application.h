#pragma once

// The spreadsheet application as the program drives it: the embedded engine behind the objects and
// operations a spreadsheet's automation interface offers (application, workbooks, workbook, worksheet,
// range). The objects are handles, cheap to copy, like automation references. A default-constructed
// handle is "Nothing": using it raises, as does using an object whose workbook was closed or whose
// application has quit. Every failure is a shell::RuntimeError whose description suits the error report.

#include <QDate>
#include <QString>
#include <memory>

#include "spreadsheet/calculation.h"
#include "spreadsheet/cell_ref.h"
#include "spreadsheet/workbook.h"

namespace generation {

namespace detail {
struct AppState;
struct BookState;
}  // namespace detail

inline const QString kEngineVersion = QStringLiteral("12.0");

// File-format codes that SaveAs accepts; both write an Excel 97-2003 workbook.
inline constexpr int xlExcel8 = 56;
inline constexpr int xlWorkbookNormal = -4143;

class Range {
public:
    Range() = default;

    // Typed entry, as if a person typed the text under the user's locale (QLocale()); an empty text
    // clears the value. Every cell of the range takes the value.
    void setValue(const QString& text);
    // The date's serial number; a General cell gets the short-date format.
    void setValue(QDate date);
    // The value of the range's first cell (a formula's result for a formula cell, calculated first
    // under automatic calculation when cells changed since).
    spreadsheet::Value Value() const;

    // Makes the range the selection of its sheet, with its first cell as the active cell.
    void Select();

    // The range seen as rows or as columns: count() then counts rows or columns, and Rows(n) or
    // Columns(n) is the n-th of them (1-based, relative to the range).
    Range Rows() const;
    Range Columns() const;
    Range Rows(int n) const;
    Range Columns(int n) const;
    int count() const;

    // Absolute, 1-based number of the range's first row and first column.
    int Row() const;
    int Column() const;
    QString Address() const;

    // Draws the range as the spreadsheet shows it and puts the picture on the clipboard.
    void CopyPicture() const;

private:
    friend class Worksheet;
    enum class Kind { Cells, Rows, Columns };
    Range(std::shared_ptr<detail::BookState> book, int sheet, spreadsheet::CellRange range, Kind kind);
    detail::BookState& book() const;
    // Writes each cell of the range in turn; what was written is calculated when next needed.
    template <typename Write>
    void writeCells(detail::BookState& state, const Write& write) const;

    std::shared_ptr<detail::BookState> book_;
    int sheet_ = 0;
    spreadsheet::CellRange range_{};
    Kind kind_ = Kind::Cells;
};

class Worksheet {
public:
    Worksheet() = default;

    QString Name() const;
    // 1-based row and column.
    generation::Range Cells(int row, int column) const;
    // "B6", "A1:B36".
    generation::Range Range(const QString& address) const;
    // The bounding rectangle of every cell the sheet holds, formatted blanks included; A1 when empty.
    generation::Range UsedRange() const;

private:
    friend class Workbook;
    friend class Application;
    Worksheet(std::shared_ptr<detail::BookState> book, int sheet) : book_(std::move(book)), sheet_(sheet) {}
    detail::BookState& book() const;

    std::shared_ptr<detail::BookState> book_;
    int sheet_ = 0;
};

class Workbook {
public:
    Workbook() = default;

    QString Name() const;      // file name
    QString FullName() const;  // full path
    bool ReadOnly() const;
    Worksheet Worksheets(int index) const;  // 1-based
    Worksheet ActiveSheet() const;

    // Writes the workbook at the path as an Excel 97-2003 workbook (formats 56 and -4143; any other code
    // raises) after a recalculation; the workbook then is that file. A workbook opened read-only can be
    // saved under another name but not over its own file. The file is written under a fresh name and
    // renamed over the path (shell::replaceFile): a failed save leaves what was there, and a link at the
    // path is replaced, not written through. The last-saved time is the time of saving, and so is the
    // creation time of a workbook opened from a template.
    void SaveAs(const QString& path, int fileFormat);
    // Closes without saving.
    void Close();

    // The engine's model of the open workbook, for callers that inspect it (tests, the benchmark);
    // calculated first, as Range::Value is.
    const spreadsheet::Workbook& model() const;

    bool operator==(const Workbook& other) const { return book_ == other.book_; }

private:
    friend class Workbooks;
    friend class Application;
    explicit Workbook(std::shared_ptr<detail::BookState> book) : book_(std::move(book)) {}
    detail::BookState& book() const;

    std::shared_ptr<detail::BookState> book_;
};

class Workbooks {
public:
    Workbooks() = default;

    // Opens a workbook file (.xls or .xlt) as the active workbook.
    Workbook Open(const QString& path, bool readOnly = false);
    int count() const;
    Workbook operator()(int index) const;  // 1-based, in the order opened

private:
    friend class Application;
    explicit Workbooks(std::shared_ptr<detail::AppState> app) : app_(std::move(app)) {}
    detail::AppState& app() const;

    std::shared_ptr<detail::AppState> app_;
};

class Application {
public:
    // A new, hidden instance; tests give another version text to act as an older spreadsheet.
    explicit Application(const QString& version = kEngineVersion);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    generation::Workbooks Workbooks() const;
    Workbook Workbooks(int index) const;
    Workbook ActiveWorkbook() const;
    Worksheet ActiveSheet() const;
    // Worksheet n of the active workbook.
    Worksheet Worksheets(int index) const;
    // A range of the active sheet.
    generation::Range Range(const QString& address) const;

    bool Visible() const;
    void setVisible(bool visible);
    bool DisplayAlerts() const;
    void setDisplayAlerts(bool displayAlerts);
    QString Version() const;
    // Where the calculations of this instance's workbooks report how far they have come, as a
    // spreadsheet shows it in its status bar; nothing by default.
    void setCalculationProgress(spreadsheet::CalculationProgress progress);

    // Closes every workbook without saving and ends the instance; any later use raises.
    void Quit();

private:
    detail::AppState& state() const;

    std::shared_ptr<detail::AppState> state_;
};

}  // namespace generation
