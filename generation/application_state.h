#pragma once

// What the handles of application.h share. Internal to generation/.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "spreadsheet/calculation.h"
#include "spreadsheet/workbook.h"

namespace generation::detail {

struct AppState;

struct BookState {
    spreadsheet::Workbook model;
    QString fullName;
    bool readOnly = false;
    bool open = true;
    // Made at the workbook's first change (or save), whose first calculation evaluates every formula:
    // the results stored with a workbook are whatever program's saved it last. Later calculations
    // evaluate what depends on the changes since.
    std::unique_ptr<spreadsheet::Calculation> calculation;
    std::weak_ptr<AppState> app;
};

struct AppState {
    QString version;
    bool running = true;
    bool visible = false;
    bool displayAlerts = true;
    std::vector<std::shared_ptr<BookState>> books;  // in the order opened
    std::shared_ptr<BookState> active;
    spreadsheet::CalculationProgress calculationProgress;
};

// "Method 'Open' of object 'Workbooks' failed: <reason>"
[[noreturn]] void raiseMethodFailed(const QString& object, const char* method, const QString& reason);
// Use of a handle that is Nothing.
[[noreturn]] void raiseNothing();
// Use of an object whose workbook was closed or whose application has quit.
[[noreturn]] void raiseDisconnected();

// Runs an engine operation and turns its failures into the method's run-time error.
void guarded(const QString& object, const char* method, const std::function<void()>& body);

// Cells of a sheet were written: they, and what depends on them, are calculated when next needed.
void noteChange(BookState& book, int sheet, const spreadsheet::CellRange& range);

// What the values are needed for. Reading or inspecting them calculates under automatic calculation
// only (in manual mode a spreadsheet shows what was last calculated); drawing calculates pending
// changes in either mode; saving always calculates, as the spreadsheet recalculates before saving.
enum class Need { Read, Draw, Save };
void calculateFor(BookState& book, Need need);

}  // namespace generation::detail
