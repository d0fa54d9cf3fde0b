#pragma once

// The start-up restore: the statement as the settings store holds it, read the one way the main window
// and the command-line export both read it.

#include <QDate>
#include <QLocale>
#include <QMap>
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

// The regional settings are recorded beside the fields (keys::locale()) as the locale's name ("en_US",
// "sr_Latn_RS", "C"): the stored amounts and date are read as what they were when they were written,
// whatever the settings are today.
QString localeTag(const QLocale& locale);
// The locale that wrote the stored values: the recorded one, or `today` where nothing (or a name no
// locale has) is recorded, or where the recorded name is today's own (today's settings may mix the
// categories of several locales, which no name brings back).
QLocale writingLocale(const QString& tag, const QLocale& today);

// Restores the statement field by field, each as a step of `procedure` at the field's line, and hands each
// value to `show`. Every field comes from one state of the store. A missing key gives the field's
// default: an empty name, today, the line's built-in description, an amount of 0. A stored amount or
// date is read under the locale that wrote it (see writingLocale), and an amount is handed over in the
// currency form of `locale`. A stored date or amount that cannot be read (a date outside
// kFirstStatementDate to kLastStatementDate included) fails its step with a "Type mismatch: ..."
// description naming the key and the text, as does a throw from `show`; the restore goes on with the next
// field. Returns true when every field was handed over.
bool restoreStatement(const SettingsStore& store, Procedure& procedure, const ShowRestoredField& show,
                      const QLocale& locale = QLocale());

// Writes fields of the statement (key to text, texts as the window shows them under `locale`) as one
// write. Where the store's values were written under other regional settings, every stored amount and
// date not among `texts` is rewritten in the form of `locale` in the same write and the record of the
// locale changed with them, so the store never mixes the forms of two locales. The result is
// SettingsStore::write's.
bool storeStatementFields(SettingsStore& store, const QMap<QString, QString>& texts,
                          const QLocale& locale = QLocale());

// The statement the main window would show after start-up, read from the store without writing to it,
// for the command-line export. Each field that cannot be read is reported ("Export.LoadStoredStatement"
// at the field's line), and the result is then nothing: an export would otherwise print a figure the
// user never saw.
std::optional<StatementRecord> LoadStoredStatement(const SettingsStore& store,
                                                   const QLocale& locale = QLocale());

}  // namespace shell
