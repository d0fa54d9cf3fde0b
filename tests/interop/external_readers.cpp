#include "external_readers.h"

#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QtDebug>

#include "tests/common/oracles.h"

namespace interop {

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

ProcessResult runProcess(const QString& program, const QStringList& arguments) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        return {};
    process.waitForFinished(-1);
    ProcessResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

// A script by its path, or by its name in this area's data folder.
QJsonObject runScript(const char* script, const QStringList& arguments) {
    QString path = QString::fromLatin1(script);
    if (!path.startsWith(QLatin1Char('/')))
        path.prepend(QStringLiteral(QB_TEST_DATA_DIR "/"));
    const ProcessResult r = runProcess(kPython, QStringList{path} + arguments);
    if (r.exitCode != 0) {
        qWarning().noquote() << script << "failed:" << QString::fromUtf8(r.err);
        return {};
    }
    return QJsonDocument::fromJson(r.out).object();
}

}  // namespace

QString missingTools() {
    if (const QString xlrd = testing::missingPythonModule(QStringLiteral("xlrd")); !xlrd.isEmpty())
        return xlrd;
    return testing::missingPrograms({QStringLiteral("ssconvert")});
}

QJsonObject runDataScript(const char* script, const QStringList& arguments) {
    return runScript(script, arguments);
}

QJsonObject xlrdView(const QString& path) {
    return runScript(QB_SOURCE_DIR "/tests/common/xlrd_view.py", {path});
}

ProcessResult ssconvert(const QStringList& arguments) {
    return runProcess(QStringLiteral("ssconvert"), arguments);
}

QStringList complaints(const QByteArray& err) {
    QStringList lines;
    for (const QString& line : QString::fromUtf8(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.contains(QStringLiteral("XDG_RUNTIME_DIR")) &&
            !line.contains(QStringLiteral("dbus"), Qt::CaseInsensitive))
            lines << line;
    }
    return lines;
}

QJsonArray gnumericSheets(const QString& workbookPath, const QString& scratchFolder) {
    const QString converted = scratchFolder + QStringLiteral("/gnumeric-view.gnumeric");
    QFile::remove(converted);
    const ProcessResult r = ssconvert({workbookPath, converted});
    if (r.exitCode != 0) {
        qWarning().noquote() << "ssconvert failed:" << QString::fromUtf8(r.err);
        return {};
    }
    return runScript("gnumeric_view.py", {converted})[QStringLiteral("sheets")].toArray();
}

QJsonObject sheetOf(const QJsonObject& view, int index) {
    return view[QStringLiteral("sheet")].toArray()[index].toObject();
}

QJsonObject cellOf(const QJsonObject& sheet, const QString& name) {
    return sheet[QStringLiteral("cells")].toObject()[name].toObject();
}

QJsonObject xfOf(const QJsonObject& view, const QJsonObject& cell) {
    return view[QStringLiteral("xfs")].toArray()[cell[QStringLiteral("xf")].toInt()].toObject();
}

QJsonObject fontOf(const QJsonObject& view, const QJsonObject& cell) {
    const int font = xfOf(view, cell)[QStringLiteral("font")].toInt();
    return view[QStringLiteral("fonts")].toArray()[font].toObject();
}

QJsonArray borderOf(const QJsonObject& xf, const QString& side) {
    return xf[QStringLiteral("border")].toObject()[side].toArray();
}

}  // namespace interop
