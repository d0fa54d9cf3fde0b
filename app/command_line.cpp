#include "app/command_line.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "shell/core/settings_store.h"
#include "shell/core/stored_statement.h"
#include "shell/core/user_notice.h"

namespace app {

namespace {

constexpr int kUsageError = 2;
constexpr int kExportFailed = 1;

const QString kExportXls = QStringLiteral("export-xls");
const QString kExportPdf = QStringLiteral("export-pdf");
const QString kExportPng = QStringLiteral("export-png");

// Options the application object itself takes; they are accepted here and left for it.
const char* const kQtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "display", "geometry",
    "style",       "stylesheet",         "qmljsdebugger", "dialogs", "fontengine"};
const char* const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void printLine(const QString& text) {
    std::fprintf(stderr, "quillberry: %s\n", qPrintable(text.simplified()));
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

// One path per export option; the same option twice is refused rather than guessed at.
bool exportPath(const QCommandLineParser& parser, const QString& option, QString& path) {
    const QStringList values = parser.values(option);
    if (values.size() > 1) {
        printLine(QStringLiteral("--%1 is given more than once.").arg(option));
        return false;
    }
    path = values.value(0);
    if (values.size() == 1 && path.isEmpty()) {
        printLine(QStringLiteral("--%1 needs a file name.").arg(option));
        return false;
    }
    return true;
}

}  // namespace

CommandLine readCommandLine(int argc, char** argv) {
    QCoreApplication::setApplicationName(shell::product::kName);
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLBERRY_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    addOptions(parser);
    CommandLine line;
    if (!parser.parse(arguments)) {
        printLine(parser.errorText() + QStringLiteral(" See --help."));
        line.exitCode = kUsageError;
        return line;
    }
    if (!parser.positionalArguments().isEmpty()) {
        printLine(QStringLiteral("Unexpected argument '%1'. See --help.")
                      .arg(parser.positionalArguments().first()));
        line.exitCode = kUsageError;
        return line;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
        parser.isSet(QStringLiteral("version"))) {
        // The help text names the program as it was started, which only an application object knows;
        // a core one needs no display. process() prints the answer and ends the program.
        QCoreApplication core(argc, argv);
        parser.process(core);
    }
    // Every option is checked, so that each mistake is told at once.
    bool valid = exportPath(parser, kExportXls, line.exports.workbook);
    valid = exportPath(parser, kExportPdf, line.exports.pdf) && valid;
    valid = exportPath(parser, kExportPng, line.exports.picture) && valid;
    if (!valid)
        line.exitCode = kUsageError;
    return line;
}

void prepareExport() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Standard error is for the problems of the export, one line each. Qt's own remarks (no
    // XDG_RUNTIME_DIR, say) are no problem of it and would break a script's "no output is success".
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            printLine(message);
    });
}

int runExport(const generation::ExportTargets& targets) {
    int problems = 0;
    shell::setErrorReporter([&problems](const shell::ErrorReport& report) {
        ++problems;
        printLine(
            QStringLiteral("%1 (%2at line %3)").arg(report.description, report.location).arg(report.line));
    });
    shell::setUserNoticeHandler([](const QString& text) { printLine(text); });
    const shell::SettingsStore store;
    const auto statement = shell::LoadStoredStatement(store);
    const bool written = statement && generation::ExportStatement(*statement, targets);
    shell::setErrorReporter({});
    return written && problems == 0 ? 0 : kExportFailed;
}

}  // namespace app
