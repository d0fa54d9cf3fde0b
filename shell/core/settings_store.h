#pragma once

#include <QDate>
#include <QLocale>
#include <QMap>
#include <QString>
#include <memory>
#include <optional>

namespace shell {

// The per-user store of the statement: text values under one application name and one section.
// Every write is synced to disk before it returns, so a process killed right after a change keeps it.
// Values are read as the texts the file holds (see settings_store_file.h); QSettings does the writing.
class SettingsStore {
public:
    static inline const QString kSection = QStringLiteral("Quillberry");

    // The stored text, or the default when the key does not exist.
    QString read(const QString& key, const QString& defaultValue) const;
    // The stored text; nothing when the key does not exist. When the settings file cannot be read the
    // user is told once per run (the file and the reason) and nothing is returned for any key.
    std::optional<QString> value(const QString& key) const;
    // Every key of the section as one state of the file holds it (with the values not yet on disk), so
    // that a reader never mixes two writes; empty, told as value() tells, when the file cannot be read.
    QMap<QString, QString> values() const;

    // Creates or overwrites the value. When the store cannot be written the user is told once per run (the
    // settings file and the reason) and false is returned; the value is kept and written with the next
    // write that succeeds, so nothing the window shows is lost. A settings file that cannot be read is
    // never replaced: the write is refused (and told once) until the file can be read again, and nothing
    // is kept for later, so no value shown in place of the unread ones ever overwrites them.
    bool write(const QString& key, const QString& text);
    // Several values as one write: the file goes from the state before to the state with all of them in
    // one step (a new file takes the old one's name), so another process reads all of them or none.
    bool write(const QMap<QString, QString>& texts);

    // Why the stored statement cannot be read, or nothing when it can (or nothing is stored yet). Tells
    // no one: for a caller with its own way of saying so (the command line). Never waits: a pipe or a
    // device in the file's place is unreadable.
    std::optional<QString> unreadableReason() const;

    // Values accepted but not yet on disk because the store could not be written.
    const QMap<QString, QString>& unsaved() const { return unsaved_; }

    // The settings file as the platform names it. Never waits for a pipe in the file's place.
    static QString fileName();

    // Lets the next failure be told again (each test is a "run").
    static void resetFailureNotice();

private:
    struct Snapshot;
    const Snapshot& snapshot() const;
    // fileName(), worked out once per store: a restore reads dozens of values in a row.
    const QString& file() const;

    QMap<QString, QString> unsaved_;
    mutable QString file_;
    // The file's section as last read, kept while the file on disk is the same.
    mutable std::shared_ptr<const Snapshot> snapshot_;
};

// The date as the store keeps it: the regional short date, with the year always in four digits (a two-digit
// year would read back in the wrong century).
QString dateToStoreText(const QDate& date, const QLocale& locale = QLocale());

// Reads a stored date: the four-digit form, the regional short date with a two-digit year (00-29 are read as
// 20xx, 30-99 as 19xx) and ISO 8601. Nothing when the text is none of these.
std::optional<QDate> dateFromStoreText(const QString& text, const QLocale& locale = QLocale());

}  // namespace shell
