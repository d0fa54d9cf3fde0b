#include "shell/core/settings_store.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include "shell/core/product.h"
#include "shell/core/settings_store_failure.h"
#include "shell/core/settings_store_file.h"
#include "shell/core/user_notice.h"

namespace shell {

namespace {

bool& unwritableTold() {
    static bool told = false;
    return told;
}

bool& unreadableTold() {
    static bool told = false;
    return told;
}

QSettings openStore() {
    // The maker's name serves as both organisation and application, as the settings always were kept.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, product::kOrganisation,
                     product::kOrganisation);
}

void tellUnwritableOnce(const QString& file, qint64 bytesToWrite) {
    if (unwritableTold())
        return;
    unwritableTold() = true;
    QString reason = saveFailureReason(file, bytesToWrite);
    if (reason.isEmpty())
        reason = QStringLiteral("unknown; every step of a save worked when it was tried again");
    tellUser(QStringLiteral("Your entries could not be saved in the settings file\r\n%1\r\n\r\n"
                            "Reason: %2\r\n\r\n"
                            "Quillberry keeps working and keeps everything you typed in the window; "
                            "it saves again with each change.")
                 .arg(QDir::toNativeSeparators(file), reason));
}

enum class Noticed { AtRead, AtWrite };

void tellUnreadableOnce(const QString& file, const QString& reason, Noticed when) {
    if (unreadableTold())
        return;
    unreadableTold() = true;
    const QString consequence =
        when == Noticed::AtRead
            ? QStringLiteral(
                  "Quillberry shows a new statement and leaves the file as it is: nothing is "
                  "saved until the file can be read again.")
            : QStringLiteral(
                  "Quillberry leaves the file as it is and keeps what you typed in the window; "
                  "nothing is saved until the file can be read again.");
    tellUser(QStringLiteral("The stored statement could not be read from the settings file\r\n%1\r\n\r\n"
                            "Reason: %2\r\n\r\n%3")
                 .arg(QDir::toNativeSeparators(file), reason, consequence));
}

// What tells one state of the file on disk from another: QSettings replaces the file on every save.
struct FileIdentity {
    QString path;
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileIdentity of(const QString& path) {
        FileIdentity identity;
        identity.path = path;
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) == 0) {
            identity.exists = true;
            identity.device = info.st_dev;
            identity.inode = info.st_ino;
            identity.size = info.st_size;
            identity.modified = info.st_mtim;
            identity.changed = info.st_ctim;
        }
        return identity;
    }
    bool operator==(const FileIdentity& other) const {
        const auto same = [](const timespec& a, const timespec& b) {
            return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
        };
        return path == other.path && exists == other.exists && device == other.device &&
               inode == other.inode && size == other.size && same(modified, other.modified) &&
               same(changed, other.changed);
    }
};

bool sameText(const QVariant& stored, const QString& text) {
    return stored.typeId() == QMetaType::QString && stored.toString() == text;
}

}  // namespace

struct SettingsStore::Snapshot {
    FileIdentity identity;
    SettingsFileSection section;
};

const QString& SettingsStore::file() const {
    if (file_.isEmpty())
        file_ = fileName();
    return file_;
}

const SettingsStore::Snapshot& SettingsStore::snapshot() const {
    FileIdentity identity = FileIdentity::of(file());
    if (!snapshot_ || !(snapshot_->identity == identity)) {
        const QString path = identity.path;
        snapshot_ = std::make_shared<const Snapshot>(
            Snapshot{std::move(identity), readSettingsSection(path, kSection)});
    }
    return *snapshot_;
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const {
    return value(key).value_or(defaultValue);
}

std::optional<QString> SettingsStore::value(const QString& key) const {
    if (const auto pending = unsaved_.constFind(key); pending != unsaved_.cend())
        return *pending;
    const Snapshot& current = snapshot();
    if (current.section.state == SettingsFileSection::State::Unreadable) {
        tellUnreadableOnce(current.identity.path, current.section.reason, Noticed::AtRead);
        return std::nullopt;
    }
    const auto stored = current.section.values.constFind(key);
    if (stored == current.section.values.cend())
        return std::nullopt;
    return *stored;
}

QMap<QString, QString> SettingsStore::values() const {
    const Snapshot& current = snapshot();
    if (current.section.state == SettingsFileSection::State::Unreadable) {
        tellUnreadableOnce(current.identity.path, current.section.reason, Noticed::AtRead);
        return unsaved_;
    }
    QMap<QString, QString> all = current.section.values;
    all.insert(unsaved_);
    return all;
}

bool SettingsStore::write(const QString& key, const QString& text) {
    return write(QMap<QString, QString>{{key, text}});
}

bool SettingsStore::write(const QMap<QString, QString>& texts) {
    const QString& file = this->file();
    // Read afresh: another running copy may have written, or the file may have become unreadable.
    snapshot_.reset();
    const SettingsFileSection current = snapshot().section;
    if (current.state == SettingsFileSection::State::Unreadable) {
        tellUnreadableOnce(file, current.reason, Noticed::AtWrite);
        return false;
    }

    const QMap<QString, QString> unsavedBefore = unsaved_;
    unsaved_.insert(texts);
    // A fresh object per write: QSettings keeps its first error for its whole life, and a fresh one also
    // merges with what another running copy wrote in the meantime, key by key.
    QSettings store = openStore();
    store.allKeys();  // parses every section, so that a format error shows before anything is written
    if (store.status() == QSettings::FormatError) {
        unsaved_ = unsavedBefore;
        tellUnreadableOnce(file, QStringLiteral("its contents are not in the settings format"),
                           Noticed::AtWrite);
        return false;
    }
    store.beginGroup(kSection);
    // QSettings rewrites the whole file from what it parsed: a text it reads as something else (an
    // unquoted "a, b, c" as a list, "@Variant(...)" as a value it may not decode) is given to it as the
    // text it is, so the rewrite keeps it.
    for (auto it = current.values.cbegin(); it != current.values.cend(); ++it) {
        if (!unsaved_.contains(it.key()) && !sameText(store.value(it.key()), it.value()))
            store.setValue(it.key(), it.value());
    }
    qint64 bytes = QFileInfo(file).size();
    for (auto it = unsaved_.cbegin(); it != unsaved_.cend(); ++it) {
        store.setValue(it.key(), it.value());
        bytes += it.key().toUtf8().size() + it.value().toUtf8().size() + 4;
    }
    store.sync();
    if (store.status() != QSettings::NoError) {
        tellUnwritableOnce(file, bytes);
        return false;
    }
    unsaved_.clear();
    return true;
}

std::optional<QString> SettingsStore::unreadableReason() const {
    const Snapshot& current = snapshot();
    if (current.section.state == SettingsFileSection::State::Unreadable)
        return current.section.reason;
    return std::nullopt;
}

QString SettingsStore::fileName() {
    // QSettings reads its file as soon as it is made, and a pipe in the file's place would hold it up
    // for ever: what is at the platform's usual place is looked at first, and QSettings asked (it also
    // knows a place that tests set) only when that is a regular file or nothing.
    const QString usual = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                          QStringLiteral("/%1/%1.conf").arg(product::kOrganisation);
    struct stat info {};
    if (::stat(QFile::encodeName(usual).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return usual;
    return openStore().fileName();
}

void SettingsStore::resetFailureNotice() {
    unwritableTold() = false;
    unreadableTold() = false;
}

namespace {

// The short date form with every two-letter year ("yy", not part of a longer run) made four letters. A
// plain scan: this runs at every start, and a regular expression would be compiled for it.
QString fourDigitYearFormat(const QLocale& locale) {
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString result;
    result.reserve(format.size() + 2);
    for (qsizetype i = 0; i < format.size();) {
        qsizetype run = 0;
        while (i + run < format.size() && format.at(i + run) == QLatin1Char('y'))
            ++run;
        if (run == 0) {
            result += format.at(i++);
            continue;
        }
        result += QString(run == 2 ? 4 : run, QLatin1Char('y'));
        i += run;
    }
    return result;
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
