#include "generation/statement_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
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
    QString path;
    std::unique_ptr<ExportFile> file;
};

// The template the run would open: a T/template.xlt that exists is used as it is; otherwise the
// embedded one, written into the job's own folder so that nothing is left in T afterwards.
QString templatePath(const QTemporaryDir& work) {
    const QString shared = temporaryPath(kTemplateName);
    if (shell::FileExists(shared))
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

// Two options naming one file would leave only the later one's content there.
void requireDistinct(const std::vector<Destination>& destinations) {
    for (size_t i = 0; i < destinations.size(); ++i)
        for (size_t j = i + 1; j < destinations.size(); ++j)
            if (QDir::cleanPath(QFileInfo(destinations[i].path).absoluteFilePath()) ==
                    QDir::cleanPath(QFileInfo(destinations[j].path).absoluteFilePath()) ||
                shell::sameFile(destinations[i].path, destinations[j].path))
                throw shell::RuntimeError(QStringLiteral("'%1' is named for two exports")
                                              .arg(QDir::toNativeSeparators(destinations[j].path)));
}

}  // namespace

bool ExportStatement(const shell::StatementRecord& statement, const ExportTargets& targets) {
    shell::Procedure p(QStringLiteral("Export"), QStringLiteral("ExportStatement"));
    std::vector<Destination> destinations;
    if (!targets.workbook.isEmpty())
        destinations.push_back({Kind::Workbook, 102, 124, targets.workbook, nullptr});
    if (!targets.pdf.isEmpty())
        destinations.push_back({Kind::Pdf, 104, 126, targets.pdf, nullptr});
    if (!targets.picture.isEmpty())
        destinations.push_back({Kind::Picture, 106, 128, targets.picture, nullptr});
    if (!p.step(100, [&] { requireDistinct(destinations); }))
        return false;
    // Each destination is tried before any work is done; its temporary file goes again at once, so that
    // nothing of the export lies beside the user's files while the statement is drawn up.
    bool ready = true;
    for (const Destination& destination : destinations) {
        ready = p.step(destination.openLine, [&] { ExportFile(destination.path).open(); }) && ready;
    }
    if (!ready)
        return false;

    QTemporaryDir work;
    std::shared_ptr<Application> app;
    Workbook book;
    QString source;
    const QString saved = work.filePath(QStringLiteral("statement.xls"));
    bool done = p.step(108, [&] {
        if (!work.isValid())
            throw shell::RuntimeError(QStringLiteral("Cannot create a working folder: ") +
                                      work.errorString());
        app = CreateObject(QStringLiteral("Excel.Application"));
    });
    done = done && p.step(110, [&] { source = templatePath(work); });
    done = done && p.step(112, [&] { book = app->Workbooks().Open(source, true); });
    for (const CellWrite& write : statementCells(statement))
        done = done && p.step(114, [&] { writeCell(app->Worksheets(1), write); });
    done = done && p.step(116, [&] {
        app->Range(QStringLiteral("B6")).Select();
        app->setVisible(false);
    });
    done = done && p.step(118, [&] { book.SaveAs(saved, GetXlsFileFormat(app)); });
    done = done && p.step(120, [&] {
        app->setDisplayAlerts(false);
        book.Close();
        app->Quit();
    });
    if (!done)
        return false;

    // What is exported is the saved file, read back as the run's second instance reads it.
    QByteArray workbookBytes;
    spreadsheet::Workbook model;
    if (!p.step(122, [&] {
            workbookBytes = readWhole(saved);
            model = spreadsheet::readWorkbookBytes(workbookBytes);
        }))
        return false;
    for (Destination& destination : destinations) {
        const bool written = p.step(destination.writeLine, [&] {
            destination.file = std::make_unique<ExportFile>(destination.path);
            destination.file->open();
            switch (destination.kind) {
                case Kind::Workbook:
                    destination.file->write(workbookBytes);
                    break;
                case Kind::Pdf:
                    // The header's file codes name the workbook the user gets, when there is one.
                    destination.file->write(statementPdf(
                        model, targets.workbook.isEmpty() ? QString()
                                                          : QFileInfo(targets.workbook).absoluteFilePath()));
                    break;
                case Kind::Picture:
                    destination.file->write(pngBytes(statementPicture(model)));
                    break;
            }
        });
        if (!written)
            return false;
    }
    // A file that cannot take its name stops the rest, which then vanish with their temporary files.
    for (Destination& destination : destinations)
        if (!p.step(130, [&] { destination.file->commit(); }))
            return false;
    return true;
}

}  // namespace generation
