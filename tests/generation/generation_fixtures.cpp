#include "generation_fixtures.h"
#include "entry/sample_data.h"

#include <QDir>

#include "shell/core/error_report.h"
#include "shell/core/user_notice.h"
#include "spreadsheet/workbook_writer.h"

namespace fixtures {

QString writeWorkbook(const QString& dir, const QString& name,
                      const std::function<void(spreadsheet::Workbook&)>& fill) {
    spreadsheet::Workbook workbook;
    workbook.addSheet(QStringLiteral("Sheet1"));
    fill(workbook);
    const QString path = QDir(dir).filePath(name);
    spreadsheet::writeWorkbookFile(workbook, path);
    return path;
}

Reports::Reports() {
    shell::setErrorReporter([this](const shell::ErrorReport& report) {
        texts << report.text();
        lines << report.line;
    });
    shell::setUserNoticeHandler([this](const QString&) { ++otherMessages; });
}

Reports::~Reports() {
    shell::setErrorReporter({});
    shell::setUserNoticeHandler({});
}

generation::HandOver Recorder::handOver() {
    return {[this](bool suspended) { events << QStringLiteral("suspend %1").arg(suspended); },
            [this](shell::MousePointer pointer) {
                events << QStringLiteral("pointer %1").arg(static_cast<int>(pointer));
            },
            [this](const QImage& image) {
                events << QStringLiteral("picture");
                picture = image;
            },
            [this](const QString& file) {
                events << QStringLiteral("path");
                path = file;
            },
            [this] { events << QStringLiteral("rearm"); },
            [this] { events << QStringLiteral("show"); },
            [this] { events << QStringLiteral("hide"); },
            [this](int percent) { progress << percent; }};
}

generation::FractionSource digits(const QString& sequence) {
    return [sequence, next = 0]() mutable {
        const int digit = sequence.at(next++ % sequence.size()).digitValue();
        return (digit - 1) / 9.0 + 0.01;
    };
}

shell::StatementRecord sampleStatement() {
    return entry::sample::sampleStatement(QDate(2021, 3, 5));
}

}  // namespace fixtures
