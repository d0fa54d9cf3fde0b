#include "app/history_command.h"

#include <QCoreApplication>
#include <QDir>
#include <csignal>

#include "app/command_line.h"
#include "generation/statement_export.h"
#include "generation/statement_figures.h"
#include "generation/temporary_folder.h"
#include "history/history_export.h"
#include "history/history_store.h"
#include "shell/core/error_report.h"
#include "shell/core/interruption.h"
#include "shell/core/product.h"
#include "shell/core/settings_store.h"
#include "shell/core/stored_statement.h"
#include "shell/core/user_notice.h"

namespace app {

namespace {

constexpr int kFailed = 1;

// The stored statement as its workbook holds it: filled in and saved as an export does, then read back,
// so that the history records the totals the sheet's formulas give.
std::optional<generation::StatementFigures> storedStatementFigures() {
    const shell::SettingsStore settings;
    if (const auto reason = settings.unreadableReason()) {
        printProblem(QStringLiteral("The stored statement cannot be read from the settings file '%1' (%2), "
                                    "so nothing was recorded; the file was left as it is.")
                         .arg(QDir::toNativeSeparators(shell::SettingsStore::fileName()), *reason));
        return std::nullopt;
    }
    const auto statement = shell::LoadStoredStatement(settings);
    if (!statement)
        return std::nullopt;
    const generation::WorkFolder work;  // throws when it cannot be made
    generation::ExportTargets targets;
    targets.workbook = shell::NativePath(work.filePath(QStringLiteral("statement.xls")));
    if (!generation::ExportStatement(*statement, targets))
        return std::nullopt;
    auto figures = generation::readStatementFile(targets.workbook.toString(), history::regionalCurrency());
    if (const auto* refused = std::get_if<generation::NotAStatement>(&figures)) {
        printProblem(QStringLiteral("The statement could not be recorded: ") + refused->reason);
        return std::nullopt;
    }
    return std::get<generation::StatementFigures>(std::move(figures));
}

bool importFiles(history::HistoryStore& store, const QStringList& arguments) {
    QStringList files;
    for (const QString& argument : arguments)
        files << shell::NativePath::fromArgument(argument).toString();
    const history::ImportReading reading = history::readStatementFiles(files, history::regionalCurrency());
    for (const auto& [file, reason] : reading.refused)
        printProblem(QStringLiteral("'%1' is no statement: %2").arg(QDir::toNativeSeparators(file), reason));
    if (!reading.refused.empty()) {
        printProblem(QStringLiteral("Nothing was imported."));
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
    const shell::Interruptible interruptible;
    std::signal(SIGPIPE, SIG_IGN);
    int problems = 0;
    shell::setErrorReporter([&problems](const shell::ErrorReport& report) {
        ++problems;
        printProblem(
            QStringLiteral("%1 (%2at line %3)").arg(report.description, report.location).arg(report.line));
    });
    shell::setUserNoticeHandler([](const QString& text) { printProblem(text); });
    const auto finish = [](int code) {
        shell::setErrorReporter({});
        shell::endIfInterrupted();
        return code;
    };

    history::HistoryStore store;
    if (!store.isReady()) {
        printProblem(store.problem());
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
        printProblem(error.description());
        return finish(kFailed);
    }
    return finish(problems == 0 ? 0 : kFailed);
}

}  // namespace app
