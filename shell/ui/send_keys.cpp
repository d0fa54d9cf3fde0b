#include "shell/ui/send_keys.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace shell {

namespace {

class QueuedKeys : public QEvent {
public:
    explicit QueuedKeys(QWidget* box) : QEvent(QEvent::User), box_(box) {}
    QPointer<QWidget> box_;
};

class KeyQueue : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        QWidget* box = static_cast<QueuedKeys*>(event)->box_;
        if (!box || box->window()->focusWidget() != box)
            return true;
        QKeyEvent homePress(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
        QKeyEvent homeRelease(QEvent::KeyRelease, Qt::Key_Home, Qt::NoModifier);
        QKeyEvent endPress(QEvent::KeyPress, Qt::Key_End, Qt::ShiftModifier);
        QKeyEvent endRelease(QEvent::KeyRelease, Qt::Key_End, Qt::ShiftModifier);
        for (QKeyEvent* key : {&homePress, &homeRelease, &endPress, &endRelease})
            QApplication::sendEvent(box, key);
        return true;
    }
};

}  // namespace

void SendHomeShiftEnd(QWidget* box) {
    static KeyQueue* queue = new KeyQueue;  // lives as long as the program
    QApplication::postEvent(queue, new QueuedKeys(box));
}

}  // namespace shell
