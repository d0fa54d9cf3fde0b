#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <stdio_ext.h>
#include <unistd.h>

#include "shell/core/error_report.h"
#include "shell/core/interruption.h"
#include "shell/core/native_path.h"
#include "shell/core/product.h"
#include "shell/core/settings_store.h"
#include "shell/core/stored_statement.h"
#include "shell/core/target_file.h"
#include "shell/core/user_notice.h"

namespace app {

namespace {

constexpr int kUsageError = 2;
constexpr int kExportFailed = 1;

const QString kExportXls = QStringLiteral("export-xls");
const QString kExportPdf = QStringLiteral("export-pdf");
const QString kExportPng = QStringLiteral("export-png");
const QString kHistory = QStringLiteral("history");
const QString kRecord = QStringLiteral("record");
const QString kImportHistory = QStringLiteral("import-history");
const QString kExportHistory = QStringLiteral("export-history");

// Options the application object itself takes; they are accepted here and left for it.
const char* const kQtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger", "dialogs", "fontengine"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void printLine(const QString& text) {
    printProblem(text);
}

// Standard output is closed at the end of the program, and a failure to write anything that went to it
// (a full disk, a closed pipe, /dev/full) turns the exit status into 1 with one line on standard error.
// A standard output that was never open is no failure when nothing was written to it.
void checkStandardOutputAtExit() {
    std::atexit([] {
        const bool pending = __fpending(stdout) > 0;
        const bool failedBefore = std::ferror(stdout) != 0;
        errno = 0;
        const bool closed = std::fclose(stdout) == 0;
        const int error = errno;
        if ((closed && !failedBefore) || (!closed && error == EBADF && !pending && !failedBefore))
            return;
        printLine(QStringLiteral("Cannot write the output: %1")
                      .arg(QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO))));
        std::fflush(stderr);
        ::_exit(kExportFailed);
    });
}

// The general rule for options that take a value: the parser takes whatever follows "--name" as its
// value, so an option there ("--export-xls --export-pdf x.pdf") would silently become a file name. Every
// option the parser was given follows it, whoever added the option. Returns false after telling it.
bool noOptionWhereValueBelongs(const QCommandLineParser& parser, const QStringList& arguments) {
    QSet<QString> takingValues;
    for (const QString& name : parser.optionNames())
        if (!parser.values(name).isEmpty())
            takingValues.insert(name);
    bool valid = true;
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("--"))
            break;
        if (!argument.startsWith(QLatin1Char('-')) || argument.contains(QLatin1Char('=')))
            continue;
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        if (!takingValues.contains(name))
            continue;
        const QString& value = arguments.at(++i);
        if (value.startsWith(QLatin1Char('-')) && value != QLatin1String("-")) {
            printLine(QStringLiteral("Missing value after '%1': '%2' is an option. For a file of that name, "
                                     "write %1=%2 or ./%2. See --help.")
                          .arg(argument, value));
            valid = false;
        }
    }
    return valid;
}

void addOptions(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Draws up a personal financial statement as an Excel 97-2003 workbook.\n"
                       "With an export option it writes the statement stored for this user to the "
                       "files and shows no window."));
    // "-platform" is one option, as Qt has always read it, not eight letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({kExportXls, QStringLiteral("Write the statement's workbook (.xls) to <file>."),
                      QStringLiteral("file")});
    parser.addOption({kExportPdf, QStringLiteral("Write the statement's pages as a PDF document to <file>."),
                      QStringLiteral("file")});
    parser.addOption({kExportPng,
                      QStringLiteral("Write the picture of the statement's sheet (PNG) to <file>."),
                      QStringLiteral("file")});
    parser.addOption({kHistory, QStringLiteral("Open the history of kept statements: net worth over time.")});
    parser.addOption({kRecord, QStringLiteral("Record the statement stored for this user in the history.")});
    parser.addOption({kImportHistory,
                      QStringLiteral("Record the statement workbooks <file> (and any files after it) in the "
                                     "history: all of them, or none when one is no statement."),
                      QStringLiteral("file")});
    parser.addOption(
        {kExportHistory,
         QStringLiteral("Write the history to <file>: .csv, .xls (with its chart) or .pdf, by the "
                        "suffix."),
         QStringLiteral("file")});
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// One path per export option; the same option twice is refused rather than guessed at. The path is
// the argument's bytes.
bool exportPath(const QCommandLineParser& parser, const QString& option, shell::NativePath& path) {
    const QStringList values = parser.values(option);
    if (values.size() > 1) {
        printLine(QStringLiteral("--%1 is given more than once.").arg(option));
        return false;
    }
    if (values.size() == 1 && values.first().isEmpty()) {
        printLine(QStringLiteral("--%1 needs a file name.").arg(option));
        return false;
    }
    path = shell::NativePath::fromArgument(values.value(0));
    return true;
}

// The store as the command line sees it: when it cannot be read, nothing is exported (an export would
// otherwise write a blank statement over the user's files).
bool storeReadable(const shell::SettingsStore& store) {
    const auto reason = store.unreadableReason();
    if (!reason)
        return true;
    printLine(QStringLiteral("The stored statement cannot be read from the settings file '%1' (%2), so "
                             "nothing was exported; the file was left as it is.")
                  .arg(QDir::toNativeSeparators(shell::SettingsStore::fileName()), *reason));
    return false;
}

}  // namespace

void printProblem(const QString& text) {
    const QByteArray line = "quillberry: " + shell::unescapedArgument(text.simplified()) + '\n';
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

CommandLine readCommandLine(int argc, char** argv) {
    checkStandardOutputAtExit();
    QCoreApplication::setApplicationName(shell::product::kName);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLBERRY_VERSION));
    // Each argument as a text from which its bytes come back exactly: file names need not be UTF-8.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << shell::escapedArgument(QByteArray(argv[i]));

    QCommandLineParser parser;
    addOptions(parser);
    CommandLine line;
    if (!parser.parse(arguments)) {
        printLine(parser.errorText() + QStringLiteral(" See --help."));
        line.exitCode = kUsageError;
        return line;
    }
    // Before the stray arguments: an option taken for a value leaves the real value stray.
    if (!noOptionWhereValueBelongs(parser, arguments)) {
        line.exitCode = kUsageError;
        return line;
    }
    // Files after --import-history are more files to import.
    if (parser.isSet(kImportHistory)) {
        line.history.importFiles = parser.values(kImportHistory) + parser.positionalArguments();
    } else if (!parser.positionalArguments().isEmpty()) {
        printLine(QStringLiteral("Unexpected argument '%1'. See --help.")
                      .arg(parser.positionalArguments().first()));
        line.exitCode = kUsageError;
        return line;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
        parser.isSet(QStringLiteral("version"))) {
        if (shell::standardOutputClosed()) {
            printLine(QStringLiteral("Cannot write the output: standard output is closed"));
            line.exitCode = kExportFailed;
            return line;
        }
        // The help text names the program as it was started, which only an application object knows;
        // a core one needs no display. process() prints the answer and ends the program.
        QCoreApplication core(argc, argv);
        parser.process(core);
    }
    // Every option is checked, so that each mistake is told at once.
    bool valid = exportPath(parser, kExportXls, line.exports.workbook);
    valid = exportPath(parser, kExportPdf, line.exports.pdf) && valid;
    valid = exportPath(parser, kExportPng, line.exports.picture) && valid;
    valid = exportPath(parser, kExportHistory, line.history.exportPath) && valid;
    if (parser.values(kImportHistory).size() > 1) {
        printLine(
            QStringLiteral("--%1 is given more than once; name every file after one.").arg(kImportHistory));
        valid = false;
    }
    line.history.openWindow = parser.isSet(kHistory);
    line.history.record = parser.isSet(kRecord);
    if (line.history.importFiles.contains(QString())) {
        printLine(QStringLiteral("--%1 needs a file name.").arg(kImportHistory));
        valid = false;
    }
    if (line.history.openWindow && (line.history.runWithoutWindow() || !line.exports.isEmpty())) {
        printLine(QStringLiteral("--%1 opens a window; it is given alone.").arg(kHistory));
        valid = false;
    }
    if (!valid)
        line.exitCode = kUsageError;
    return line;
}

void prepareExport() {
    // A platform named in the environment (a desktop's QT_QPA_PLATFORM=xcb, say) would need its display,
    // which a job started by cron or over ssh does not have.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error is for the problems of the export, one line each. Qt's own remarks (no
    // XDG_RUNTIME_DIR, say) are no problem of it and would break a script's "no output is success".
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            printLine(message);
    });
}

int runExport(const generation::ExportTargets& targets) {
    // A stop asked for by a signal takes back what the export made (see shell/core/interruption.h); a
    // pipe whose reader has gone is an error reported like any other, not a silent end.
    const shell::Interruptible interruptible;
    std::signal(SIGPIPE, SIG_IGN);
    int problems = 0;
    shell::setErrorReporter([&problems](const shell::ErrorReport& report) {
        ++problems;
        printLine(
            QStringLiteral("%1 (%2at line %3)").arg(report.description, report.location).arg(report.line));
    });
    shell::setUserNoticeHandler([](const QString& text) { printLine(text); });
    const shell::SettingsStore store;
    std::optional<shell::StatementRecord> statement;
    if (storeReadable(store))
        statement = shell::LoadStoredStatement(store);
    const bool written = statement && generation::ExportStatement(*statement, targets);
    shell::setErrorReporter({});
    shell::endIfInterrupted();
    return written && problems == 0 ? 0 : kExportFailed;
}

}  // namespace app
