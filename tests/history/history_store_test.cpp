// The history store on real SQLite files: an older schema is brought up to date, a change is all or
// nothing, a damaged file is never written to, and two writers at once lose nothing.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <thread>

#include "history/history_store.h"
#include "history_fixtures.h"
#include "shell/core/error_report.h"
#include "tests/common/test_files.h"

using history::HistoryStore;
using history_testing::figures;

namespace {

// Runs SQL on a file through a connection of its own, as another program would.
void runSql(const QString& path, const QStringList& statements) {
    const QString name = QStringLiteral("raw-%1").arg(quintptr(&statements));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const QString& sql : statements) {
            QSqlQuery query(db);
            QVERIFY2(query.exec(sql), qPrintable(sql));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// What the sqlite3 program says of the file; empty when it is not installed.
QString sqliteSays(const QString& path, const QString& sql) {
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        return {};
    QProcess process;
    process.start(QStringLiteral("sqlite3"), {path, sql});
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

}  // namespace

class HistoryStoreTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void newFileIsMadeWithItsFolderInWriteAheadMode() {
        const QString path = dir_->filePath(QStringLiteral("a/b/history.sqlite"));
        HistoryStore store(path);
        QVERIFY2(store.isReady(), qPrintable(store.problem()));
        QCOMPARE(store.count(), 0);
        const QString mode = sqliteSays(path, QStringLiteral("PRAGMA journal_mode"));
        QVERIFY(mode.isEmpty() || mode == QStringLiteral("wal"));
    }

    // Every line's description and amount, the totals and the currency come back exactly; a second
    // statement of the same date replaces the first whole.
    void recordingKeepsEveryFigureAndReplacesTheDate() {
        HistoryStore store(path());
        const auto first = figures(QDate(2023, 12, 31), QStringLiteral("Ann, \"the\" owner"), 7);
        auto second = figures(QDate(2023, 12, 31), QStringLiteral("Ann"), 9);
        second.currency = QStringLiteral("EUR");
        second.assets[10].cents = -1;  // negative cents survive
        const auto other = figures(QDate(2022, 6, 30), QStringLiteral("Ann"), 3);
        store.record(first);
        store.record(other);
        store.record(second);
        const auto entries = store.summaries();
        QCOMPARE(entries.size(), size_t(2));
        QCOMPARE(entries[0].date, QDate(2022, 6, 30));  // oldest first
        QCOMPARE(entries[1].name, QStringLiteral("Ann"));
        QCOMPARE(entries[1].netWorth, second.netWorth);
        QCOMPARE(store.figures(entries[1].id).value(), second);
        QCOMPARE(store.figures(entries[0].id).value(), other);
        QVERIFY(store.remove(entries[0].id));
        QVERIFY(!store.remove(entries[0].id));
        QVERIFY(!store.figures(entries[0].id));
        QCOMPARE(store.count(), 1);
    }

    // Lines orphaned by another tool (statements deleted without the foreign keys on) do not stop a
    // new statement that gets their number.
    void orphanedLinesGiveWay() {
        HistoryStore(path()).record(figures(QDate(2020, 1, 1), QStringLiteral("gone"), 1));
        runSql(path(), {QStringLiteral("DELETE FROM statement")});
        HistoryStore store(path());
        const auto fresh = figures(QDate(2021, 1, 1), QStringLiteral("new"), 2);
        store.record(fresh);
        QCOMPARE(store.figures(store.summaries().front().id).value(), fresh);
    }

    // A batch with one statement that cannot be recorded records none of them.
    void aFailedChangeLeavesNothing() {
        HistoryStore store(path());
        store.record(figures(QDate(2020, 1, 1), QStringLiteral("kept"), 1));
        auto broken = figures(QDate(), QStringLiteral("no date"), 2);
        QVERIFY_THROWS_EXCEPTION(
            shell::RuntimeError,
            store.recordAll({figures(QDate(2021, 1, 1), QStringLiteral("new"), 3), broken}));
        QCOMPARE(store.count(), 1);
        QCOMPARE(store.summaries().front().name, QStringLiteral("kept"));
    }

    // A file of the first schema, as an earlier version left it, is brought up to date in place and keeps
    // its entries; the net worth it did not hold is the difference of its totals.
    void anOlderSchemaIsMigrated() {
        runSql(path(),
               {
                   QStringLiteral("CREATE TABLE statement (id INTEGER PRIMARY KEY, statement_date TEXT "
                                  "NOT NULL UNIQUE, name TEXT NOT NULL, total_assets INTEGER NOT NULL, "
                                  "total_liabilities INTEGER NOT NULL, recorded_at TEXT NOT NULL)"),
                   QStringLiteral("CREATE TABLE statement_line (statement_id INTEGER NOT NULL "
                                  "REFERENCES statement(id) ON DELETE CASCADE, side TEXT NOT NULL, "
                                  "position INTEGER NOT NULL, description TEXT NOT NULL, amount INTEGER "
                                  "NOT NULL, PRIMARY KEY (statement_id, side, position))"),
                   QStringLiteral("INSERT INTO statement VALUES (1, '2019-04-30', 'Old', 500000, "
                                  "125050, '2019-05-01T10:00:00Z')"),
                   QStringLiteral("INSERT INTO statement_line VALUES (1, 'asset', 3, 'Savings', 500000)"),
                   QStringLiteral("PRAGMA user_version = 1"),
               });
        HistoryStore store(path());
        QVERIFY2(store.isReady(), qPrintable(store.problem()));
        QCOMPARE(sqliteSays(path(), QStringLiteral("PRAGMA user_version")), QStringLiteral("2"));
        const auto entries = store.summaries();
        QCOMPARE(entries.size(), size_t(1));
        QCOMPARE(entries[0].netWorth, qint64(374950));
        QCOMPARE(entries[0].currency, QString());
        const auto old = store.figures(entries[0].id).value();
        QCOMPARE(old.assets[3], (generation::FigureLine{QStringLiteral("Savings"), 500000}));
        store.record(figures(QDate(2020, 4, 30), QStringLiteral("New"), 4));
        QCOMPARE(store.count(), 2);
    }

    // A damaged or foreign file is reported and left byte for byte as it was; the user's consent puts it
    // aside, kept, and starts an empty history.
    void damagedFilesAreKept_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("state");
        QTest::newRow("not a database")
            << QByteArray("date,name\n2020-01-01,Ann\n").repeated(50) << int(HistoryStore::State::Damaged);
        QByteArray header("SQLite format 3\0", 16);
        QTest::newRow("cut short") << header + QByteArray(84, '\x01') + QByteArray(4000, '\x7f')
                                   << int(HistoryStore::State::Damaged);
        QTest::newRow("newer schema") << QByteArray() << int(HistoryStore::State::TooNew);
    }
    void damagedFilesAreKept() {
        QFETCH(QByteArray, content);
        QFETCH(int, state);
        if (content.isEmpty()) {
            runSql(path(),
                   {QStringLiteral("CREATE TABLE future (x)"), QStringLiteral("PRAGMA user_version = 99")});
            content = testing::contentOf(path());
        } else {
            testing::writeFile(path(), content);
        }
        HistoryStore store(path());
        QCOMPARE(int(store.state()), state);
        QVERIFY(store.problem().contains(path()));
        QVERIFY_THROWS_EXCEPTION(shell::RuntimeError,
                                 store.record(figures(QDate(2020, 1, 1), QStringLiteral("x"), 1)));
        QVERIFY_THROWS_EXCEPTION(shell::RuntimeError, store.summaries());
        QCOMPARE(testing::contentOf(path()), content);
        // A second program finds it the same way and does not touch it either.
        QCOMPARE(int(HistoryStore(path()).state()), state);
        QCOMPARE(testing::contentOf(path()), content);

        const QString kept = store.startAfresh();
        QVERIFY2(store.isReady(), qPrintable(store.problem()));
        QCOMPARE(testing::contentOf(kept), content);
        QVERIFY(kept.startsWith(path() + QStringLiteral(".damaged-")));
        store.record(figures(QDate(2020, 1, 1), QStringLiteral("afresh"), 1));
        QCOMPARE(store.count(), 1);
    }

    // Two programs recording at once, each through its own connection: every statement is there and
    // the file passes SQLite's own check.
    void twoWritersLoseNothing() {
        constexpr int kEach = 60;
        const QString file = path();
        HistoryStore(file).record(figures(QDate(1999, 1, 1), QStringLiteral("first"), 1));
        std::atomic<int> failures = 0;
        const auto writer = [&](int year) {
            HistoryStore store(file);
            if (!store.isReady()) {
                ++failures;
                return;
            }
            for (int i = 0; i < kEach; ++i) {
                try {
                    store.record(figures(QDate(year, 1, 1).addDays(i), QStringLiteral("w%1").arg(year), i));
                } catch (const shell::RuntimeError&) {
                    ++failures;
                }
            }
        };
        std::thread a(writer, 2001);
        std::thread b(writer, 2002);
        a.join();
        b.join();
        QCOMPARE(failures.load(), 0);
        HistoryStore store(file);
        QCOMPARE(store.count(), 2 * kEach + 1);
        const QString check = sqliteSays(file, QStringLiteral("PRAGMA integrity_check"));
        QVERIFY(check.isEmpty() || check == QStringLiteral("ok"));
    }

private:
    QString path() const { return dir_->filePath(QStringLiteral("history.sqlite")); }
    std::unique_ptr<QTemporaryDir> dir_;
};

int runHistoryStoreTests(int argc, char** argv) {
    HistoryStoreTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "history_store_test.moc"
