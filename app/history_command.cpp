#include "app/history_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

#include "app/stored_statement.h"
#include "generation/statement_export.h"
#include "generation/statement_figures.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "shell/core/settings_store.h"
#include "shell/core/user_notice.h"

namespace app {

namespace {

constexpr int kFailed = 1;

void printLine(const QString& text) {
    std::fprintf(stderr, "quillberry: %s\n", qPrintable(text.simplified()));
}

// The stored statement as its workbook holds it: filled in and saved as an export does, then read back.
std::optional<generation::StatementFigures> storedStatementFigures() {
    const shell::SettingsStore settings;
    const auto statement = LoadStoredStatement(settings);
    if (!statement)
        return std::nullopt;
    QTemporaryDir work;
    if (!work.isValid()) {
        printLine(QStringLiteral("Cannot create a working folder: ") + work.errorString());
        return std::nullopt;
    }
    generation::ExportTargets targets;
    targets.workbook = work.filePath(QStringLiteral("statement.xls"));
    if (!generation::ExportStatement(*statement, targets))
        return std::nullopt;
    auto figures = generation::readStatementFile(targets.workbook, history::regionalCurrency());
    if (const auto* refused = std::get_if<generation::NotAStatement>(&figures)) {
        printLine(QStringLiteral("The statement could not be recorded: ") + refused->reason);
        return std::nullopt;
    }
    return std::get<generation::StatementFigures>(std::move(figures));
}

bool importFiles(history::HistoryStore& store, const QStringList& files) {
    const history::ImportReading reading = history::readStatementFiles(files, history::regionalCurrency());
    for (const auto& [file, reason] : reading.refused)
        printLine(QStringLiteral("'%1' is no statement: %2").arg(QDir::toNativeSeparators(file), reason));
    if (!reading.refused.empty()) {
        printLine(QStringLiteral("Nothing was imported."));
        return false;
    }
    store.recordAll(reading.statements);
    return true;
}

}  // namespace

int runHistoryCommands(const HistoryCommands& commands) {
    // The history lies in the application data folder, which is named after the maker and the program.
    QCoreApplication::setOrganizationName(shell::product::kOrganisation);
    QCoreApplication::setApplicationName(shell::product::kName);
    int problems = 0;
    shell::setErrorReporter([&problems](const shell::ErrorReport& report) {
        ++problems;
        printLine(
            QStringLiteral("%1 (%2at line %3)").arg(report.description, report.location).arg(report.line));
    });
    shell::setUserNoticeHandler([](const QString& text) { printLine(text); });
    const auto finish = [](int code) {
        shell::setErrorReporter({});
        return code;
    };

    history::HistoryStore store;
    if (!store.isReady()) {
        printLine(store.problem());
        return finish(kFailed);
    }
    try {
        if (!commands.importFiles.isEmpty() && !importFiles(store, commands.importFiles))
            return finish(kFailed);
        if (commands.record) {
            const auto figures = storedStatementFigures();
            if (!figures)
                return finish(kFailed);
            store.record(*figures);
        }
        if (!commands.exportPath.isEmpty())
            history::exportHistory(commands.exportPath, store.summaries());
    } catch (const shell::RuntimeError& error) {
        printLine(error.description());
        return finish(kFailed);
    }
    return finish(problems == 0 ? 0 : kFailed);
}

}  // namespace app
