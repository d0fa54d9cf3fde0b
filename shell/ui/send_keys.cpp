#include "shell/ui/send_keys.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>

namespace shell {

namespace {

// Delivered through the event queue so that the keys reach the widget focused at that time, after the
// event that caused them (a mouse press that places the caret) has been handled.
class QueuedKeys : public QObject {
public:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        if (QWidget* target = QApplication::focusWidget()) {
            QKeyEvent homePress(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
            QKeyEvent homeRelease(QEvent::KeyRelease, Qt::Key_Home, Qt::NoModifier);
            QKeyEvent endPress(QEvent::KeyPress, Qt::Key_End, Qt::ShiftModifier);
            QKeyEvent endRelease(QEvent::KeyRelease, Qt::Key_End, Qt::ShiftModifier);
            QApplication::sendEvent(target, &homePress);
            QApplication::sendEvent(target, &homeRelease);
            QApplication::sendEvent(target, &endPress);
            QApplication::sendEvent(target, &endRelease);
        }
        return true;
    }
};

}  // namespace

void SendHomeShiftEnd() {
    static QueuedKeys* queue = new QueuedKeys;  // lives as long as the program
    QApplication::postEvent(queue, new QEvent(QEvent::User));
}

}  // namespace shell
