#include "generation/file_format.h"

#include <QLocale>
#include <cmath>
#include <limits>

#include "generation/automation.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"

namespace generation {

namespace {
qint16 versionNumber(const QString& version) {
    bool ok = false;
    const double value = QLocale().toDouble(shell::ToLocaleDecimal(version).trimmed(), &ok);
    if (!ok)
        throw shell::RuntimeError(QStringLiteral("Type mismatch"));
    // Ties go to the even neighbour, as every conversion to a whole number in the program does.
    const double whole = std::nearbyint(value);
    if (whole < std::numeric_limits<qint16>::min() || whole > std::numeric_limits<qint16>::max())
        throw shell::RuntimeError(QStringLiteral("Overflow"));
    return static_cast<qint16>(whole);
}
}  // namespace

int GetXlsFileFormat(std::shared_ptr<Application>& app) {
    QString version;
    if (!app) {
        auto shortLived = CreateObject(QStringLiteral("Excel.Application"));
        version = shortLived->Version();
        shortLived->Quit();
    } else {
        version = app->Version();
    }
    return versionNumber(version) > 11 ? xlExcel8 : xlWorkbookNormal;
}

}  // namespace generation
