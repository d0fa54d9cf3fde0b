#pragma once

// What the handles of application.h share. Internal to generation/.

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "spreadsheet/workbook.h"

namespace generation::detail {

struct AppState;

struct BookState {
    spreadsheet::Workbook model;
    QString fullName;
    bool readOnly = false;
    bool open = true;
    // Cells changed since the last recalculation (manual calculation mode only).
    bool needsRecalculation = false;
    std::weak_ptr<AppState> app;
};

struct AppState {
    QString version;
    bool running = true;
    bool visible = false;
    bool displayAlerts = true;
    std::vector<std::shared_ptr<BookState>> books;  // in the order opened
    std::shared_ptr<BookState> active;
};

// "Method 'Open' of object 'Workbooks' failed: <reason>"
[[noreturn]] void raiseMethodFailed(const QString& object, const char* method, const QString& reason);
// Use of a handle that is Nothing.
[[noreturn]] void raiseNothing();
// Use of an object whose workbook was closed or whose application has quit.
[[noreturn]] void raiseDisconnected();

// Runs an engine operation and turns its failures into the method's run-time error.
void guarded(const QString& object, const char* method, const std::function<void()>& body);

void recalculateIfNeeded(BookState& book, bool force);

}  // namespace generation::detail
