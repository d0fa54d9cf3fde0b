#include "shell/core/stored_statement.h"

#include "shell/core/error_report.h"
#include "shell/core/locale_amount.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"

namespace shell {

namespace {

using Kind = StoredField::Kind;

// The locales a restore works with: the one the stored texts were written under, and today's, in which
// amounts are shown.
struct RestoreLocales {
    QLocale written;
    QLocale today;
};

RestoredValue restoredDate(const std::optional<QString>& stored, const RestoreLocales& locales) {
    if (!stored)
        return QDate::currentDate();
    const auto date = dateFromStoreText(*stored, locales.written);
    if (!date)
        throw RuntimeError(QStringLiteral("Type mismatch: the stored date \"%1\" is no date").arg(*stored));
    if (*date < kFirstStatementDate || *date > kLastStatementDate) {
        throw RuntimeError(
            QStringLiteral("Type mismatch: the stored date \"%1\" is before 1900 or after 9999")
                .arg(*stored));
    }
    return *date;
}

RestoredValue restoredAmount(const StoredField& field, const std::optional<QString>& stored,
                             const RestoreLocales& locales) {
    const auto amount = parseAmount(stored.value_or(QStringLiteral("0")), locales.written);
    if (!amount) {
        throw RuntimeError(QStringLiteral("Type mismatch: the stored amount %1 \"%2\" is no amount")
                               .arg(field.key(), *stored));
    }
    return currencyText(*amount, locales.today);
}

RestoredValue restoredValue(const StoredField& field, const std::optional<QString>& stored,
                            const RestoreLocales& locale) {
    const auto line = size_t(field.index);
    switch (field.kind) {
        case Kind::Name:
            return stored.value_or(QString());
        case Kind::Date:
            return restoredDate(stored, locale);
        case Kind::AssetDescription:
            return stored.value_or(kBuiltInAssetDescriptions[line]);
        case Kind::LiabilityDescription:
            return stored.value_or(kBuiltInLiabilityDescriptions[line]);
        case Kind::AssetAmount:
        case Kind::LiabilityAmount:
            return restoredAmount(field, stored, locale);
    }
    return {};
}

}  // namespace

QString StoredField::key() const {
    namespace keys = keys;
    switch (kind) {
        case Kind::Name:
            return keys::name();
        case Kind::Date:
            return keys::date();
        case Kind::AssetDescription:
            return keys::assetDescription(index);
        case Kind::AssetAmount:
            return keys::assetAmount(index);
        case Kind::LiabilityDescription:
            return keys::liabilityDescription(index);
        case Kind::LiabilityAmount:
            return keys::liabilityAmount(index);
    }
    return {};
}

const std::array<StoredField, 2 + 2 * kAssetLines + 2 * kLiabilityLines>& storedFields() {
    static const auto fields = [] {
        std::array<StoredField, 2 + 2 * kAssetLines + 2 * kLiabilityLines> all;
        size_t next = 0;
        all[next++] = {Kind::Name, 0, 130};
        all[next++] = {Kind::Date, 0, 132};
        for (int i = 0; i < kAssetLines; ++i) {
            all[next++] = {Kind::AssetDescription, i, 138};
            all[next++] = {Kind::AssetAmount, i, 140};
        }
        for (int i = 0; i < kLiabilityLines; ++i) {
            all[next++] = {Kind::LiabilityDescription, i, 154};
            all[next++] = {Kind::LiabilityAmount, i, 156};
        }
        return all;
    }();
    return fields;
}

QString localeTag(const QLocale& locale) {
    if (locale.language() == QLocale::C)
        return QStringLiteral("C");
    QString name = locale.name();
    // The name leaves out a script that is not the language's usual one there ("sr_RS" is Cyrillic).
    if (QLocale(name).script() != locale.script()) {
        const qsizetype separator = name.indexOf(QLatin1Char('_'));
        name.insert(separator < 0 ? name.size() : separator,
                    QLatin1Char('_') + QLocale::scriptToCode(locale.script()));
    }
    return name;
}

QLocale writingLocale(const QString& tag, const QLocale& today) {
    if (tag.isEmpty() || tag == localeTag(today))
        return today;
    const QLocale recorded(tag);
    if (recorded.language() == QLocale::C && tag != QLatin1String("C"))
        return today;
    return recorded;
}

bool restoreStatement(const SettingsStore& store, Procedure& procedure, const ShowRestoredField& show,
                      const QLocale& locale) {
    const QMap<QString, QString> values = store.values();
    const RestoreLocales locales{writingLocale(values.value(keys::locale()), locale), locale};
    bool complete = true;
    for (const StoredField& field : storedFields()) {
        complete = procedure.step(field.line, [&] {
            const auto found = values.constFind(field.key());
            const std::optional<QString> stored =
                found == values.cend() ? std::nullopt : std::optional<QString>(*found);
            show(field, restoredValue(field, stored, locales), stored);
        }) && complete;
    }
    return complete;
}

bool storeStatementFields(SettingsStore& store, const QMap<QString, QString>& texts, const QLocale& locale) {
    QMap<QString, QString> write = texts;
    const QString tag = localeTag(locale);
    const QMap<QString, QString> stored = store.values();
    const auto recorded = stored.constFind(keys::locale());
    if (recorded == stored.cend() || *recorded != tag) {
        // Without a record the stored texts are today's; with another one they are put in today's form.
        const QLocale written = recorded == stored.cend() ? locale : writingLocale(*recorded, locale);
        for (const StoredField& field : storedFields()) {
            if (localeTag(written) == tag)
                break;
            const QString key = field.key();
            const auto old = stored.constFind(key);
            if (write.contains(key) || old == stored.cend())
                continue;
            if (field.kind == Kind::AssetAmount || field.kind == Kind::LiabilityAmount) {
                if (const auto amount = parseAmount(*old, written))
                    write.insert(key, currencyText(*amount, locale));
            } else if (field.kind == Kind::Date) {
                if (const auto date = dateFromStoreText(*old, written))
                    write.insert(key, dateToStoreText(*date, locale));
            }
        }
        write.insert(keys::locale(), tag);
    }
    return store.write(write);
}

std::optional<StatementRecord> LoadStoredStatement(const SettingsStore& store, const QLocale& locale) {
    Procedure p(QStringLiteral("Export"), QStringLiteral("LoadStoredStatement"));
    StatementRecord record;
    const auto put = [&record](const StoredField& field, const RestoredValue& value,
                               const std::optional<QString>&) {
        const auto line = size_t(field.index);
        const auto text = [&value] { return std::get<QString>(value); };
        switch (field.kind) {
            case Kind::Name:
                record.name = text();
                break;
            case Kind::Date:
                record.date = std::get<QDate>(value);
                break;
            case Kind::AssetDescription:
                record.assetDescriptions[line] = text();
                break;
            case Kind::AssetAmount:
                record.assetAmounts[line] = text();
                break;
            case Kind::LiabilityDescription:
                record.liabilityDescriptions[line] = text();
                break;
            case Kind::LiabilityAmount:
                record.liabilityAmounts[line] = text();
                break;
        }
    };
    if (!restoreStatement(store, p, put, locale))
        return std::nullopt;
    return record;
}

}  // namespace shell
