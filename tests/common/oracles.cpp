#include "oracles.h"

#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>

namespace testing {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QString packageOf(const QString& program) {
    static const QHash<QString, QString> packages = {
        {QStringLiteral("ssconvert"), QStringLiteral("gnumeric")},
        {QStringLiteral("soffice"), QStringLiteral("libreoffice-calc-nogui")},
        {kPython, QStringLiteral("python3")},
    };
    if (program.startsWith(QStringLiteral("pdf")))
        return QStringLiteral("poppler-utils");
    return packages.value(program);
}

bool found(const QString& program) {
    if (program.startsWith(u'/'))
        return QFileInfo(program).isExecutable();
    return !QStandardPaths::findExecutable(program).isEmpty();
}

}  // namespace

QString missingPrograms(const QStringList& programs) {
    QStringList missing;
    for (const QString& program : programs) {
        if (found(program))
            continue;
        const QString package = packageOf(program);
        missing << (package.isEmpty() ? program : QStringLiteral("%1 (%2)").arg(program, package));
    }
    if (missing.isEmpty())
        return {};
    return missing.join(QStringLiteral(", ")) +
           (missing.size() == 1 ? QStringLiteral(" is not installed") : QStringLiteral(" are not installed"));
}

QString missingPythonModule(const QString& module) {
    if (const QString python = missingPrograms({kPython}); !python.isEmpty())
        return python;
    QProcess process;
    process.start(kPython, {QStringLiteral("-c"), QStringLiteral("import ") + module});
    if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
        process.exitCode() == 0)
        return {};
    return QStringLiteral("python3-%1 is not installed").arg(module);
}

bool oraclesRequired() {
    return qEnvironmentVariable("QUILLBERRY_REQUIRE_ORACLES") == QLatin1String("1");
}

}  // namespace testing
