#pragma once

// The start-up restore: the statement as the settings store holds it, read the one way the main window
// and the command-line export both read it.

#include <QDate>
#include <QLocale>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <variant>

#include "shell/core/statement.h"

namespace shell {

class Procedure;
class SettingsStore;

// The dates a statement holds: those of a workbook's 1900 date system.
inline const QDate kFirstStatementDate(1900, 1, 1);
inline const QDate kLastStatementDate(9999, 12, 31);

// One stored field of the statement, with the line of the start-up sequence that restores it (and at
// which its failure is reported).
struct StoredField {
    enum class Kind { Name, Date, AssetDescription, AssetAmount, LiabilityDescription, LiabilityAmount };
    Kind kind = Kind::Name;
    int index = 0;  // the line's index, for the lines' fields
    int line = 0;

    // Its settings key ("txtAmountAssets3").
    QString key() const;
};

// The 36 fields in the order start-up restores them: the name, the date, then each asset line's
// description and amount, then each liability line's.
const std::array<StoredField, 2 + 2 * kAssetLines + 2 * kLiabilityLines>& storedFields();

// What a field shows after the restore: the date as a date, every other field as its text.
using RestoredValue = std::variant<QString, QDate>;

// Hands one restored field over, with the text the store held for it (nothing when the key was missing),
// so that a window can tell a value it only shows from one the restore changed.
using ShowRestoredField = std::function<void(const StoredField& field, const RestoredValue& value,
                                             const std::optional<QString>& stored)>;

// Restores the statement field by field, each as a step of `procedure` at the field's line, and hands each
// value to `show`. A missing key gives the field's default: an empty name, today, the line's built-in
// description, an amount of 0. An amount comes in the locale's currency form. A stored date or amount
// that cannot be read (a date outside kFirstStatementDate to kLastStatementDate included) fails its step
// with a "Type mismatch: ..." description naming the key and the text, as does a throw from `show`; the
// restore goes on with the next field. Returns true when every field was handed over.
bool restoreStatement(const SettingsStore& store, Procedure& procedure, const ShowRestoredField& show,
                      const QLocale& locale = QLocale());

// The statement the main window would show after start-up, read from the store without writing to it,
// for the command-line export. Each field that cannot be read is reported ("Export.LoadStoredStatement"
// at the field's line), and the result is then nothing: an export would otherwise print a figure the
// user never saw.
std::optional<StatementRecord> LoadStoredStatement(const SettingsStore& store,
                                                   const QLocale& locale = QLocale());

}  // namespace shell
