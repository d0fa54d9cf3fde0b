#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "shell/ui/message_boxes.h"

class QScreen;

// What every test here starts from: settings, program folder and temporary folder of its own, United
// States regional settings, and message boxes answered with OK (or the next queued answer) and recorded.
class DesktopFixture {
public:
    void setUp();
    void tearDown();

    // The virtual screens main() sets up, by name: "wide" 1920x1080 at 100 %, "scaled200" a 1024x768
    // screen at 200 % (512x384 pixels), "scaled150" 1920x1080 at 150 %, "narrow" 800x600 and "tiny"
    // 400x300 at 100 %.
    static QScreen* screen(const QString& name);

    // A statement generated as "Start Creating Template" makes it: the sample statement's workbook in the
    // temporary folder and the picture the run hands to the preview.
    struct Generated {
        QString workbook;
        QImage picture;
    };
    Generated generate();

    QList<shell::MessageRequest> messages;
    QList<shell::MessageAnswer> answers;
    std::unique_ptr<QTemporaryDir> dir;
};

// The platform's configuration for main(): the virtual screens above.
QByteArray virtualScreensConfiguration();
