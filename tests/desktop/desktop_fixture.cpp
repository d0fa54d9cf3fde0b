#include "desktop_fixture.h"

#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include "entry/sample_data.h"
#include "generation/automation.h"
#include "generation/generation_run.h"
#include "shell/core/file_utils.h"
#include "shell/core/settings_store.h"
#include "shell/core/shutdown.h"
#include "shell/ui/dialog_reporters.h"

QByteArray virtualScreensConfiguration() {
    struct Screen {
        const char* name;
        int x, y, width, height;
        double ratio;
    };
    const Screen screens[] = {{"wide", 0, 0, 1920, 1080, 1.0},
                              {"scaled200", 1920, 0, 512, 384, 2.0},
                              {"scaled150", 0, 1080, 1280, 720, 1.5},
                              {"narrow", 2432, 0, 800, 600, 1.0},
                              {"tiny", 3232, 0, 400, 300, 1.0}};
    QJsonArray list;
    for (const Screen& s : screens) {
        list.append(QJsonObject{{"name", s.name},
                                {"x", s.x},
                                {"y", s.y},
                                {"width", s.width},
                                {"height", s.height},
                                {"logicalDpi", 96},
                                {"logicalBaseDpi", 96},
                                {"dpr", s.ratio}});
    }
    return QJsonDocument(QJsonObject{{"windowFrameMargins", true}, {"screens", list}}).toJson();
}

QScreen* DesktopFixture::screen(const QString& name) {
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->name() == name)
            return screen;
    }
    return nullptr;
}

void DesktopFixture::setUp() {
    dir = std::make_unique<QTemporaryDir>();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir->filePath(QStringLiteral("config")));
    QFile::remove(shell::SettingsStore::fileName());
    shell::setProgramFolder(dir->path());
    qputenv("TEMP", dir->path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    messages.clear();
    answers.clear();
    shell::installDialogReporters();
    shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
        messages << request;
        if (!answers.isEmpty())
            return answers.takeFirst();
        return request.buttons == shell::MessageButtons::YesNo ? shell::MessageAnswer::No
                                                               : shell::MessageAnswer::Ok;
    });
    shell::setEndProgramHandler([](int) {});
    generation::setObjectFactory({});
}

void DesktopFixture::tearDown() {
    shell::MessageBoxes::setHandler({});
    shell::setEndProgramHandler({});
    shell::setProgramFolder(QString());
    QLocale::setDefault(QLocale::c());
    qunsetenv("TEMP");
    dir.reset();
}

DesktopFixture::Generated DesktopFixture::generate() {
    Generated generated;
    generation::HandOver handOver;
    handOver.setPicture = [&](const QImage& picture) { generated.picture = picture; };
    handOver.setWorkbookPath = [&](const QString& path) { generated.workbook = path; };
    generation::GenerationRun run(handOver);
    run.PushButton22_Click(entry::sample::sampleStatement(QDate(2024, 3, 5)));
    return generated;
}
