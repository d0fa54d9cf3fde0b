#include "history/history_store.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include "shell/core/error_report.h"

namespace history {

namespace {

const QString kFileName = QStringLiteral("history.sqlite");
const QString kAssetSide = QStringLiteral("asset");
const QString kLiabilitySide = QStringLiteral("liability");

// kMigrations[v] brings a file of schema version v to version v + 1. Version 0 is an empty file.
const std::vector<std::vector<const char*>> kMigrations{
    // 1: statements and their lines, amounts in whole cents.
    {
        "CREATE TABLE statement ("
        " id INTEGER PRIMARY KEY,"
        " statement_date TEXT NOT NULL UNIQUE,"  // ISO 8601, yyyy-MM-dd
        " name TEXT NOT NULL,"
        " total_assets INTEGER NOT NULL,"
        " total_liabilities INTEGER NOT NULL,"
        " recorded_at TEXT NOT NULL)",
        "CREATE TABLE statement_line ("
        " statement_id INTEGER NOT NULL REFERENCES statement(id) ON DELETE CASCADE,"
        " side TEXT NOT NULL CHECK (side IN ('asset', 'liability')),"
        " position INTEGER NOT NULL,"
        " description TEXT NOT NULL,"
        " amount INTEGER NOT NULL,"
        " PRIMARY KEY (statement_id, side, position))",
    },
    // 2: the net worth as the sheet gave it, and the currency the amounts were typed in (unknown for
    // entries recorded before).
    {
        "ALTER TABLE statement ADD COLUMN net_worth INTEGER",
        "UPDATE statement SET net_worth = total_assets - total_liabilities",
        "ALTER TABLE statement ADD COLUMN currency TEXT NOT NULL DEFAULT ''",
        "ALTER TABLE statement_line ADD COLUMN currency TEXT NOT NULL DEFAULT ''",
    },
};
static_assert(kSchemaVersion == 2, "a new schema version needs its migration step");

QString newConnectionName() {
    static QAtomicInteger<quint64> counter;
    return QStringLiteral("quillberry-history-%1").arg(counter.fetchAndAddRelaxed(1));
}

[[noreturn]] void fail(const QString& what, const QSqlError& error) {
    throw shell::RuntimeError(QStringLiteral("%1: %2").arg(what, error.text()));
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        fail(QStringLiteral("The history could not be read or written"), query.lastError());
    return query;
}

void exec(QSqlQuery& query) {
    if (!query.exec())
        fail(QStringLiteral("The history could not be read or written"), query.lastError());
}

QSqlQuery prepared(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(QStringLiteral("The history could not be read or written"), query.lastError());
    return query;
}

// One change: BEGIN IMMEDIATE takes the write lock at once (waiting for another program's change to
// end), so nothing read inside can be outdated by the time it writes. Rolled back unless committed.
class Transaction {
public:
    explicit Transaction(const QSqlDatabase& db) : db_(db) { run(db_, QStringLiteral("BEGIN IMMEDIATE")); }
    ~Transaction() {
        if (!done_) {
            QSqlQuery rollback(db_);
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit() {
        run(db_, QStringLiteral("COMMIT"));
        done_ = true;
    }

private:
    QSqlDatabase db_;
    bool done_ = false;
};

QString keptName(const QString& path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept = path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n)
        kept = path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    return kept;
}

}  // namespace

QString HistoryStore::defaultPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(kFileName);
}

HistoryStore::HistoryStore(const QString& path) : path_(path), connection_(newConnectionName()) {
    open();
}

HistoryStore::~HistoryStore() {
    close();
}

void HistoryStore::close() {
    if (QSqlDatabase::contains(connection_)) {
        QSqlDatabase::database(connection_, false).close();
        QSqlDatabase::removeDatabase(connection_);
    }
}

void HistoryStore::open() {
    state_ = State::Unavailable;
    const QFileInfo file(path_);
    if (!QDir().mkpath(file.absolutePath())) {
        problem_ = QStringLiteral("The folder of the history '%1' cannot be made.")
                       .arg(QDir::toNativeSeparators(file.absolutePath()));
        return;
    }
    if (file.exists() && !file.isFile()) {
        problem_ = QStringLiteral("The history '%1' is not a file.").arg(QDir::toNativeSeparators(path_));
        return;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        problem_ = QStringLiteral("The SQLite driver of Qt (package libqt6sql6-sqlite) is not installed.");
        return;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
        if (!db.open()) {
            problem_ = QStringLiteral("The history '%1' cannot be opened: %2")
                           .arg(QDir::toNativeSeparators(path_), db.lastError().text());
            return;
        }
        // The check comes first and only reads: a file that is no database, or a damaged one, is found
        // before anything is written to it.
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check")) || !check.next() ||
            check.value(0).toString() != QStringLiteral("ok")) {
            const QString reason =
                check.lastError().isValid() ? check.lastError().text() : check.value(0).toString();
            state_ = State::Damaged;
            problem_ = QStringLiteral("The history '%1' is damaged (%2). It is kept as it is.")
                           .arg(QDir::toNativeSeparators(path_), reason);
            return;
        }
        check.finish();
        try {
            run(db, QStringLiteral("PRAGMA foreign_keys = ON"));
            // A file of a newer version is not written to, not even to change its journal.
            requireKnownVersion();
            run(db, QStringLiteral("PRAGMA journal_mode = WAL"));
            // Committed changes survive a crash of the program; a power cut may lose the last one.
            run(db, QStringLiteral("PRAGMA synchronous = NORMAL"));
            migrate();
        } catch (const shell::RuntimeError& error) {
            if (state_ != State::TooNew) {
                state_ = State::Unavailable;
                problem_ = QStringLiteral("The history '%1' cannot be used: %2")
                               .arg(QDir::toNativeSeparators(path_), error.description());
            }
            return;
        }
    }
    state_ = State::Ready;
    problem_.clear();
}

int HistoryStore::schemaVersion() const {
    QSqlQuery query = run(QSqlDatabase::database(connection_, false), QStringLiteral("PRAGMA user_version"));
    const int number = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return number;
}

void HistoryStore::requireKnownVersion() {
    const int version = schemaVersion();
    if (version > kSchemaVersion || version < 0) {
        state_ = State::TooNew;
        problem_ = QStringLiteral(
                       "The history '%1' was made by a newer version of Quillberry (schema %2; this "
                       "one knows %3). It is kept as it is.")
                       .arg(QDir::toNativeSeparators(path_))
                       .arg(version)
                       .arg(kSchemaVersion);
        throw shell::RuntimeError(problem_);
    }
}

void HistoryStore::migrate() {
    if (schemaVersion() == kSchemaVersion)
        return;
    // Two programs opening a new file at once: the second finds the schema made once it gets the lock.
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Transaction change(db);
    requireKnownVersion();
    const int from = schemaVersion();
    for (int v = from; v < kSchemaVersion; ++v)
        for (const char* sql : kMigrations[size_t(v)])
            run(db, QString::fromLatin1(sql));
    run(db, QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
    change.commit();
}

void HistoryStore::writeStatement(const generation::StatementFigures& figures) {
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!figures.date.isValid())
        throw shell::RuntimeError(QStringLiteral("A statement without a date cannot be recorded"));
    const QString date = figures.date.toString(Qt::ISODate);
    QSqlQuery remove = prepared(db, QStringLiteral("DELETE FROM statement WHERE statement_date = ?"));
    remove.addBindValue(date);
    exec(remove);
    QSqlQuery insert = prepared(
        db, QStringLiteral("INSERT INTO statement (statement_date, name, total_assets, total_liabilities, "
                           "net_worth, currency, recorded_at) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    insert.addBindValue(date);
    insert.addBindValue(figures.name);
    insert.addBindValue(figures.totalAssets);
    insert.addBindValue(figures.totalLiabilities);
    insert.addBindValue(figures.netWorth);
    insert.addBindValue(figures.currency);
    insert.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
    exec(insert);
    const qint64 id = insert.lastInsertId().toLongLong();
    // Lines left behind under this number by a tool that deleted statements without the foreign keys
    // on would clash with the new ones; they belong to no statement.
    QSqlQuery orphans = prepared(db, QStringLiteral("DELETE FROM statement_line WHERE statement_id = ?"));
    orphans.addBindValue(id);
    exec(orphans);
    QSqlQuery line = prepared(db, QStringLiteral("INSERT INTO statement_line (statement_id, side, position, "
                                                 "description, amount, currency) VALUES (?, ?, ?, ?, ?, ?)"));
    const auto insertLines = [&](const auto& lines, const QString& side) {
        for (size_t i = 0; i < lines.size(); ++i) {
            line.addBindValue(id);
            line.addBindValue(side);
            line.addBindValue(int(i));
            line.addBindValue(lines[i].description);
            line.addBindValue(lines[i].cents);
            line.addBindValue(figures.currency);
            exec(line);
        }
    };
    insertLines(figures.assets, kAssetSide);
    insertLines(figures.liabilities, kLiabilitySide);
}

void HistoryStore::record(const generation::StatementFigures& figures) {
    recordAll({figures});
}

void HistoryStore::recordAll(const std::vector<generation::StatementFigures>& statements) {
    if (!isReady())
        throw shell::RuntimeError(problem_);
    Transaction change(QSqlDatabase::database(connection_, false));
    for (const auto& figures : statements)
        writeStatement(figures);
    change.commit();
}

bool HistoryStore::remove(qint64 id) {
    if (!isReady())
        throw shell::RuntimeError(problem_);
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    Transaction change(db);
    QSqlQuery remove = prepared(db, QStringLiteral("DELETE FROM statement WHERE id = ?"));
    remove.addBindValue(id);
    exec(remove);
    const bool removed = remove.numRowsAffected() > 0;
    change.commit();
    return removed;
}

std::vector<EntrySummary> HistoryStore::summaries() const {
    if (!isReady())
        throw shell::RuntimeError(problem_);
    QSqlQuery query =
        prepared(QSqlDatabase::database(connection_, false),
                 QStringLiteral(
                     "SELECT id, statement_date, name, total_assets, total_liabilities, net_worth, currency "
                     "FROM statement ORDER BY statement_date"));
    exec(query);
    std::vector<EntrySummary> entries;
    while (query.next()) {
        EntrySummary entry;
        entry.id = query.value(0).toLongLong();
        entry.date = QDate::fromString(query.value(1).toString(), Qt::ISODate);
        entry.name = query.value(2).toString();
        entry.totalAssets = query.value(3).toLongLong();
        entry.totalLiabilities = query.value(4).toLongLong();
        entry.netWorth = query.value(5).toLongLong();
        entry.currency = query.value(6).toString();
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::optional<generation::StatementFigures> HistoryStore::figures(qint64 id) const {
    if (!isReady())
        throw shell::RuntimeError(problem_);
    const QSqlDatabase db = QSqlDatabase::database(connection_, false);
    // One read transaction, so the entry and its lines come from the same moment.
    run(db, QStringLiteral("BEGIN"));
    const auto end = qScopeGuard([&] { QSqlQuery(db).exec(QStringLiteral("COMMIT")); });
    QSqlQuery entry =
        prepared(db, QStringLiteral("SELECT statement_date, name, total_assets, total_liabilities, "
                                    "net_worth, currency FROM statement WHERE id = ?"));
    entry.addBindValue(id);
    exec(entry);
    if (!entry.next())
        return std::nullopt;
    generation::StatementFigures figures;
    figures.date = QDate::fromString(entry.value(0).toString(), Qt::ISODate);
    figures.name = entry.value(1).toString();
    figures.totalAssets = entry.value(2).toLongLong();
    figures.totalLiabilities = entry.value(3).toLongLong();
    figures.netWorth = entry.value(4).toLongLong();
    figures.currency = entry.value(5).toString();
    QSqlQuery lines = prepared(
        db, QStringLiteral(
                "SELECT side, position, description, amount FROM statement_line WHERE statement_id = ?"));
    lines.addBindValue(id);
    exec(lines);
    while (lines.next()) {
        const int position = lines.value(1).toInt();
        generation::FigureLine line{lines.value(2).toString(), lines.value(3).toLongLong()};
        if (lines.value(0).toString() == kAssetSide && position >= 0 && position < shell::kAssetLines)
            figures.assets[size_t(position)] = line;
        else if (lines.value(0).toString() == kLiabilitySide && position >= 0 &&
                 position < shell::kLiabilityLines)
            figures.liabilities[size_t(position)] = line;
    }
    return figures;
}

int HistoryStore::count() const {
    if (!isReady())
        throw shell::RuntimeError(problem_);
    QSqlQuery query =
        run(QSqlDatabase::database(connection_, false), QStringLiteral("SELECT COUNT(*) FROM statement"));
    return query.next() ? query.value(0).toInt() : 0;
}

qint64 HistoryStore::dataVersion() const {
    if (!isReady())
        return -1;
    QSqlQuery query = run(QSqlDatabase::database(connection_, false), QStringLiteral("PRAGMA data_version"));
    return query.next() ? query.value(0).toLongLong() : -1;
}

QString HistoryStore::startAfresh() {
    if (state_ != State::Damaged && state_ != State::TooNew)
        throw shell::RuntimeError(QStringLiteral("Only a damaged history is put aside"));
    close();
    const QString kept = keptName(path_);
    if (!QFile::rename(path_, kept))
        throw shell::RuntimeError(QStringLiteral("The damaged history '%1' could not be put aside as '%2'")
                                      .arg(QDir::toNativeSeparators(path_), QDir::toNativeSeparators(kept)));
    // Its log files belong to it: they go with it, so that the new history does not take them up.
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const QString log = path_ + QLatin1String(suffix);
        if (QFileInfo::exists(log))
            QFile::rename(log, kept + QLatin1String(suffix));
    }
    connection_ = newConnectionName();
    open();
    return kept;
}

}  // namespace history
