#include "entry/date_picker_keys.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QDateEdit>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionComboBox>

namespace entry {

namespace {

bool opensCalendar(const QKeyEvent* key) {
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_F4 && modifiers == Qt::NoModifier) ||
           (key->key() == Qt::Key_Down && modifiers == Qt::AltModifier);
}

}  // namespace

DatePickerKeys::DatePickerKeys(QDateEdit* picker) : QObject(picker), picker_(picker) {}

void DatePickerKeys::install(QDateEdit* picker) {
    auto* keys = new DatePickerKeys(picker);
    picker->installEventFilter(keys);
    // The keys reach the picker's own text field first when it has the focus.
    if (QLineEdit* field = picker->findChild<QLineEdit*>())
        field->installEventFilter(keys);
}

bool DatePickerKeys::openCalendar(QDateEdit* picker) {
    if (!picker->calendarPopup() || picker->isReadOnly() || !picker->isEnabled())
        return false;
    // Qt opens the calendar, places it and fills it only when its arrow is pressed; a press on the arrow
    // is the one way in that keeps all of that Qt's own.
    QStyleOptionComboBox option;
    option.initFrom(picker);
    option.editable = true;
    option.subControls = QStyle::SC_All;
    const QRect arrow =
        picker->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxArrow, picker);
    if (arrow.isEmpty())
        return false;
    const QPointF at = arrow.center();
    QMouseEvent press(QEvent::MouseButtonPress, at, picker->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(picker, &press);
    const QCalendarWidget* calendar = picker->calendarWidget();
    return calendar && calendar->window()->isVisible();
}

bool DatePickerKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && opensCalendar(static_cast<QKeyEvent*>(event))) {
        openCalendar(picker_);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace entry
