#include "generation/statement_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <memory>
#include <vector>

#include "generation/application.h"
#include "generation/automation.h"
#include "generation/cell_map.h"
#include "generation/export_file.h"
#include "generation/file_format.h"
#include "generation/statement_output.h"
#include "generation/temporary_folder.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/interruption.h"
#include "spreadsheet/workbook_reader.h"

namespace generation {

namespace {

const QString kTemplateResource = QStringLiteral(":/CUSTOM/101");
const QString kTemplateName = QStringLiteral("template.xlt");

enum class Kind { Workbook, Pdf, Picture };

struct Destination {
    Kind kind;
    int openLine;
    int writeLine;
    std::unique_ptr<ExportFile> file;
};

// The template the run would open: a file of the user's own at T/template.xlt is used as it is;
// otherwise the embedded one, written into the job's own folder so that nothing is left in T afterwards.
// Nothing in T is written, removed or followed.
QString templatePath(const WorkFolder& work) {
    const QString shared = temporaryPath(kTemplateName);
    if (examineTemplatePath(shared, LinkAtTemplatePath::Leave) == TemplateFile::Users)
        return shared;
    QFile resource(kTemplateResource);
    if (!resource.open(QIODevice::ReadOnly))
        throw shell::RuntimeError(QStringLiteral("Resource not found: CUSTOM 101"));
    const QString own = work.filePath(kTemplateName);
    shell::WriteBytesToFile(resource.readAll(), own);
    return own;
}

QByteArray readWhole(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw shell::RuntimeError(QStringLiteral("Cannot read '%1': %2").arg(path, file.errorString()));
    return file.readAll();
}

// Every text of the statement with the name of the box that holds it.
std::vector<std::pair<QString, const QString*>> statementTexts(const shell::StatementRecord& statement) {
    std::vector<std::pair<QString, const QString*>> texts{{QStringLiteral("txtName"), &statement.name}};
    for (size_t i = 0; i < statement.assetDescriptions.size(); ++i) {
        texts.emplace_back(QStringLiteral("txtAssets%1").arg(i), &statement.assetDescriptions[i]);
        texts.emplace_back(QStringLiteral("txtAmountAssets%1").arg(i), &statement.assetAmounts[i]);
    }
    for (size_t i = 0; i < statement.liabilityDescriptions.size(); ++i) {
        texts.emplace_back(QStringLiteral("txtLiabilities%1").arg(i), &statement.liabilityDescriptions[i]);
        texts.emplace_back(QStringLiteral("txtAmountL%1").arg(i), &statement.liabilityAmounts[i]);
    }
    return texts;
}

// The workbook's path for the header's file codes: none for standard output.
QString workbookFileName(const shell::NativePath& workbook) {
    if (workbook.isEmpty() || workbook.bytes() == "-")
        return {};
    return QFileInfo(workbook.toString()).absoluteFilePath();
}

// Two options naming one file would leave only the later one's content there.
void requireDistinct(const std::vector<Destination>& destinations) {
    for (size_t i = 0; i < destinations.size(); ++i)
        for (size_t j = i + 1; j < destinations.size(); ++j)
            if (destinations[i].file->sameAs(*destinations[j].file))
                throw shell::RuntimeError(
                    QStringLiteral("'%1' is named for two exports (as '%2' too)")
                        .arg(destinations[j].file->shown(), destinations[i].file->shown()));
}

}  // namespace

bool ExportStatement(const shell::StatementRecord& statement, const ExportTargets& targets) {
    shell::Procedure p(QStringLiteral("Export"), QStringLiteral("ExportStatement"));
    // Each step first looks whether a signal asked the job to stop.
    const auto step = [&p](int line, const auto& body) {
        return p.step(line, [&] {
            shell::throwIfInterrupted();
            body();
        });
    };

    bool ready = true;
    // Messages are English whatever the regional settings, figures included.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const auto& [box, text] : statementTexts(statement)) {
        ready =
            step(100,
                 [&] {
                     if (text->size() > kMaxCellText)
                         throw shell::RuntimeError(
                             QStringLiteral("%1 holds %2 characters, more than the %3 a cell holds")
                                 .arg(box, english.toString(text->size()), english.toString(kMaxCellText)));
                 }) &&
            ready;
    }
    std::vector<Destination> destinations;
    const auto add = [&](Kind kind, int openLine, int writeLine, const shell::NativePath& name) {
        if (!name.isEmpty())
            destinations.push_back({kind, openLine, writeLine, std::make_unique<ExportFile>(name)});
    };
    add(Kind::Workbook, 102, 126, targets.workbook);
    add(Kind::Pdf, 104, 128, targets.pdf);
    add(Kind::Picture, 106, 130, targets.picture);
    // Each destination is looked at before any work is done, and nothing is made there yet.
    for (const Destination& destination : destinations)
        ready = step(destination.openLine, [&] { destination.file->open(); }) && ready;
    if (!ready || !step(108, [&] { requireDistinct(destinations); }))
        return false;

    std::unique_ptr<WorkFolder> work;
    std::shared_ptr<Application> app;
    Workbook book;
    QString source;
    QString saved;
    bool done = step(110, [&] {
        work = std::make_unique<WorkFolder>();
        saved = work->filePath(QStringLiteral("statement.xls"));
        app = CreateObject(QStringLiteral("Excel.Application"));
    });
    done = done && step(112, [&] { source = templatePath(*work); });
    done = done && step(114, [&] { book = app->Workbooks().Open(source, true); });
    for (const CellWrite& write : statementCells(statement))
        done = done && step(116, [&] { writeCell(app->Worksheets(1), write); });
    done = done && step(118, [&] {
               app->Range(QStringLiteral("B6")).Select();
               app->setVisible(false);
           });
    done = done && step(120, [&] { book.SaveAs(saved, GetXlsFileFormat(app)); });
    done = done && step(122, [&] {
               app->setDisplayAlerts(false);
               book.Close();
               app->Quit();
           });
    if (!done)
        return false;

    // What is exported is the saved file, read back as the run's second instance reads it.
    QByteArray workbookBytes;
    spreadsheet::Workbook model;
    if (!step(124, [&] {
            workbookBytes = readWhole(saved);
            model = spreadsheet::readWorkbookBytes(workbookBytes);
        }))
        return false;
    work.reset();
    for (Destination& destination : destinations) {
        const bool written = step(destination.writeLine, [&] {
            switch (destination.kind) {
                case Kind::Workbook:
                    destination.file->write(workbookBytes);
                    break;
                case Kind::Pdf:
                    // The header's file codes name the workbook the user gets, when it is a file.
                    destination.file->write(statementPdf(model, workbookFileName(targets.workbook)));
                    break;
                case Kind::Picture:
                    destination.file->write(pngBytes(statementPicture(model)));
                    break;
            }
        });
        if (!written)
            return false;
    }
    // All of them or none: a file that cannot take its name takes the others back with it.
    std::vector<ExportFile*> files;
    for (Destination& destination : destinations)
        files.push_back(destination.file.get());
    return step(132, [&] { commitAll(files); });
}

}  // namespace generation
