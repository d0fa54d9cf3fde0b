#pragma once

#include <QLocale>
#include <optional>

#include "generation/statement.h"

namespace shell {
class SettingsStore;
}

namespace app {

// The statement the main window would show after start-up, read from the store without writing to it:
// a missing name is empty, a missing date is today, a missing description is the line's built-in one,
// and every amount (0 when missing) is in the locale's currency form, as start-up puts it.
//
// A stored date or amount that cannot be read is reported ("Export.LoadStoredStatement" with the line
// start-up reads it at), each one, and the result is then nothing: an export would otherwise print a
// figure the user never saw.
std::optional<generation::StatementRecord> LoadStoredStatement(const shell::SettingsStore& store,
                                                               const QLocale& locale = QLocale());

}  // namespace app
