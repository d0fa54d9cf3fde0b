#pragma once

#include <QApplication>
#include <QDateEdit>
#include <QLineEdit>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "entry/form1.h"
#include "generation/automation.h"
#include "shell/core/app_title.h"
#include "shell/core/file_utils.h"
#include "shell/core/settings_store.h"
#include "shell/core/shutdown.h"
#include "shell/ui/dialog_reporters.h"
#include "shell/ui/message_boxes.h"

// What every main-window test starts from: an empty settings store in a temporary folder, a program folder
// without cursor or skin files, United States regional settings, and message boxes answered with OK and
// recorded.
class Form1Fixture {
public:
    // Fresh folders for every test, so no file of one test is seen by the next.
    std::unique_ptr<QTemporaryDir> config;
    std::unique_ptr<QTemporaryDir> program;
    QList<shell::MessageRequest> messages;
    int endProgramCalls = 0;

    void setUp(const char* locale = "en_US") {
        config = std::make_unique<QTemporaryDir>();
        program = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config->path());
        QFile::remove(shell::SettingsStore::fileName());
        shell::SettingsStore::resetFailureNotice();
        shell::setProgramFolder(program->path());
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        messages.clear();
        endProgramCalls = 0;
        shell::installDialogReporters();
        shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
            messages << request;
            return shell::MessageAnswer::Ok;
        });
        shell::setEndProgramHandler([this](int) { ++endProgramCalls; });
        generation::setObjectFactory({});
    }

    void tearDown() {
        shell::MessageBoxes::setHandler({});
        shell::setEndProgramHandler({});
        generation::setObjectFactory({});
        shell::setProgramFolder(QString());
        QLocale::setDefault(QLocale::c());
    }

    // The value as another process would read it from the settings file on disk.
    static QString stored(const QString& key) {
        QSettings disk(shell::SettingsStore::fileName(), QSettings::IniFormat);
        return disk.value(QStringLiteral("Quillberry/") + key, QStringLiteral("<missing>")).toString();
    }

    static QByteArray storeFile() {
        QFile file(shell::SettingsStore::fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void store(const QString& key, const QString& value) {
        QSettings disk(shell::SettingsStore::fileName(), QSettings::IniFormat);
        disk.setValue(QStringLiteral("Quillberry/") + key, value);
    }

    // Shows the window and makes it the active one, so focus and keys behave as on a desktop.
    static bool showActive(entry::Form1& form) {
        form.show();
        QApplication::setActiveWindow(&form);
        return QTest::qWaitForWindowActive(&form);
    }
};
