#include "shell/core/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

#include "shell/core/product.h"
#include "shell/core/user_notice.h"

namespace shell {

namespace {

bool& failureTold() {
    static bool told = false;
    return told;
}

QSettings openStore() {
    // The maker's name serves as both organisation and application, as the settings always were kept.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, product::kOrganisation,
                     product::kOrganisation);
}

// QSettings only says that access failed; a probe write in the same folder finds the system's reason.
QString failureReason(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder));
    }
    QFile probe(folder + QStringLiteral("/.quillberry-write-test"));
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    const bool written = probe.write("x", 1) == 1 && probe.flush();
    const QString reason = probe.errorString();
    probe.close();
    probe.remove();
    if (!written)
        return reason;
    if (QFileInfo(file).exists() && !QFileInfo(file).isWritable())
        return QStringLiteral("the file is read-only");
    return QStringLiteral("the file could not be written (the disk may be full)");
}

void tellFailureOnce(const QString& file) {
    if (failureTold())
        return;
    failureTold() = true;
    tellUser(QStringLiteral("Your entries could not be saved in the settings file\r\n%1\r\n\r\n"
                            "Reason: %2\r\n\r\n"
                            "Quillberry keeps working and keeps everything you typed in the window; "
                            "it saves again with each change.")
                 .arg(QDir::toNativeSeparators(file), failureReason(file)));
}

}  // namespace

QString SettingsStore::read(const QString& key, const QString& defaultValue) const {
    return value(key).value_or(defaultValue);
}

std::optional<QString> SettingsStore::value(const QString& key) const {
    if (const auto pending = unsaved_.constFind(key); pending != unsaved_.cend())
        return *pending;
    QSettings store = openStore();
    store.beginGroup(kSection);
    const QVariant stored = store.value(key);
    if (!stored.isValid())
        return std::nullopt;
    return stored.toString();
}

bool SettingsStore::write(const QString& key, const QString& text) {
    unsaved_.insert(key, text);
    // A fresh object per write: QSettings keeps its first error for its whole life, and a fresh one also
    // merges with what another running copy wrote in the meantime, key by key.
    QSettings store = openStore();
    store.beginGroup(kSection);
    for (auto it = unsaved_.cbegin(); it != unsaved_.cend(); ++it)
        store.setValue(it.key(), it.value());
    store.sync();
    if (store.status() != QSettings::NoError) {
        tellFailureOnce(store.fileName());
        return false;
    }
    unsaved_.clear();
    return true;
}

QString SettingsStore::fileName() {
    return openStore().fileName();
}

void SettingsStore::resetFailureNotice() {
    failureTold() = false;
}

namespace {

QString fourDigitYearFormat(const QLocale& locale) {
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression twoDigitYear(QStringLiteral("(?<!y)yy(?!y)"));
    format.replace(twoDigitYear, QStringLiteral("yyyy"));
    return format;
}

}  // namespace

QString dateToStoreText(const QDate& date, const QLocale& locale) {
    return locale.toString(date, fourDigitYearFormat(locale));
}

std::optional<QDate> dateFromStoreText(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (const QDate date = locale.toDate(trimmed, fourDigitYearFormat(locale)); date.isValid())
        return date;
    if (QDate date = locale.toDate(trimmed, locale.dateFormat(QLocale::ShortFormat)); date.isValid()) {
        // Qt reads a two-digit year as 19xx; earlier files meant the window 1930-2029.
        if (date.year() < 1930)
            date = date.addYears(100);
        return date;
    }
    if (const QDate date = QDate::fromString(trimmed, Qt::ISODate); date.isValid())
        return date;
    return std::nullopt;
}

}  // namespace shell
