#include "app/stored_statement.h"

#include "shell/core/error_report.h"
#include "shell/core/locale_amount.h"
#include "shell/core/settings_keys.h"
#include "shell/core/settings_store.h"

namespace app {

namespace {

QString currencyForm(const std::optional<QString>& stored, const QString& key, const QLocale& locale) {
    const auto amount = shell::parseAmount(stored.value_or(QStringLiteral("0")), locale);
    if (!amount) {
        throw shell::RuntimeError(
            QStringLiteral("Type mismatch: the stored amount %1 \"%2\" is no amount").arg(key, *stored));
    }
    return shell::currencyText(*amount, locale);
}

}  // namespace

std::optional<generation::StatementRecord> LoadStoredStatement(const shell::SettingsStore& store,
                                                               const QLocale& locale) {
    namespace keys = shell::keys;
    shell::Procedure p(QStringLiteral("Export"), QStringLiteral("LoadStoredStatement"));
    generation::StatementRecord record;
    bool readable = true;
    const auto step = [&](int line, const auto& body) { readable = p.step(line, body) && readable; };

    step(130, [&] { record.name = store.value(keys::name()).value_or(QString()); });
    step(132, [&] {
        const auto stored = store.value(keys::date());
        if (!stored) {
            record.date = QDate::currentDate();
            return;
        }
        const auto date = shell::dateFromStoreText(*stored, locale);
        if (!date) {
            throw shell::RuntimeError(
                QStringLiteral("Type mismatch: the stored date \"%1\" is no date").arg(*stored));
        }
        record.date = *date;
    });
    for (int i = 0; i < generation::kAssetLines; ++i) {
        const auto line = size_t(i);
        step(138, [&] {
            record.assetDescriptions[line] =
                store.value(keys::assetDescription(i)).value_or(generation::kBuiltInAssetDescriptions[line]);
        });
        step(140, [&] {
            record.assetAmounts[line] =
                currencyForm(store.value(keys::assetAmount(i)), keys::assetAmount(i), locale);
        });
    }
    for (int i = 0; i < generation::kLiabilityLines; ++i) {
        const auto line = size_t(i);
        step(154, [&] {
            record.liabilityDescriptions[line] =
                store.value(keys::liabilityDescription(i))
                    .value_or(generation::kBuiltInLiabilityDescriptions[line]);
        });
        step(156, [&] {
            record.liabilityAmounts[line] =
                currencyForm(store.value(keys::liabilityAmount(i)), keys::liabilityAmount(i), locale);
        });
    }
    if (!readable)
        return std::nullopt;
    return record;
}

}  // namespace app
