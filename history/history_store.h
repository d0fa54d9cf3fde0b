#pragma once

// The statement history: one SQLite file in the user's application data folder
// (~/.local/share/Brackenlow/Quillberry/history.sqlite), one entry per statement date.
//
// - The schema carries its version (PRAGMA user_version) and is brought up to date when opened, each
//   step of it in the same transaction as the new version number.
// - Every change is one transaction (BEGIN IMMEDIATE), written ahead to the log (WAL): a program killed
//   in the middle leaves the last committed state, and two programs writing at once wait for each other
//   (up to kBusyTimeoutMs) instead of losing a change.
// - A file that is no SQLite database, fails its check, or was made by a newer version is reported and
//   left exactly as it is; nothing is written to it. startAfresh() puts it aside under a new name, kept,
//   and starts an empty history; only the user's consent calls it.
//
// Failures throw shell::RuntimeError with a description for the user.

#include <QDate>
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "generation/statement_figures.h"

namespace history {

inline constexpr int kSchemaVersion = 2;
inline constexpr int kBusyTimeoutMs = 10000;

// What the table and the chart show of an entry.
struct EntrySummary {
    qint64 id = 0;
    QDate date;
    QString name;
    qint64 totalAssets = 0;  // cents
    qint64 totalLiabilities = 0;
    qint64 netWorth = 0;
    QString currency;

    bool operator==(const EntrySummary&) const = default;
};

class HistoryStore {
public:
    enum class State {
        Ready,        // open and up to date
        Damaged,      // the file is there but is no sound history; it is kept untouched
        TooNew,       // made by a newer version of the program; kept untouched
        Unavailable,  // the file or its folder cannot be made or opened
    };

    // The history file of this user: QStandardPaths::AppDataLocation, which needs the application's
    // organisation and name set.
    static QString defaultPath();

    // Opens the file, making it and its folder when missing, and brings its schema up to date. Check
    // state() before using it: only a Ready store reads or writes.
    explicit HistoryStore(const QString& path = defaultPath());
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    State state() const { return state_; }
    bool isReady() const { return state_ == State::Ready; }
    // Why the store is not ready, for the user: names the file and the reason.
    const QString& problem() const { return problem_; }
    const QString& path() const { return path_; }

    // Every entry, oldest first.
    std::vector<EntrySummary> summaries() const;
    // One entry's figures, every line included; nothing when no entry has that id any more.
    std::optional<generation::StatementFigures> figures(qint64 id) const;
    int count() const;

    // Records the statement: its date's entry is replaced whole, or made.
    void record(const generation::StatementFigures& figures);
    // Records every statement in one transaction: all of them or none.
    void recordAll(const std::vector<generation::StatementFigures>& statements);
    // Removes the entry; false when it was already gone.
    bool remove(qint64 id);

    // A number that changes when another connection (another program) has changed the file since this
    // one last looked: the window reloads when it does.
    qint64 dataVersion() const;

    // For a Damaged or TooNew store only, after the user agreed: the file (and its log files) is renamed
    // to "<name>.damaged-<yyyyMMdd-HHmmss>" beside it, kept, and a new empty history is opened. Returns
    // the name the old file was kept under.
    QString startAfresh();

private:
    void open();
    void close();
    void migrate();
    int schemaVersion() const;
    // Marks the store TooNew and throws when the file's schema is newer than this program knows.
    void requireKnownVersion();
    void writeStatement(const generation::StatementFigures& figures);

    QString path_;
    QString connection_;
    State state_ = State::Unavailable;
    QString problem_;
};

}  // namespace history
