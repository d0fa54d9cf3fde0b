#pragma once

#include <QObject>

class QDateEdit;

namespace entry {

// Opens a date picker's calendar from the keyboard, as a drop-down list opens: F4 or Alt+Down. Without it
// the calendar opens only by mouse, and Alt+Down steps the date back like Down does.
class DatePickerKeys : public QObject {
    Q_OBJECT

public:
    // Watches the picker and its text field; the object belongs to the picker.
    static void install(QDateEdit* picker);

    // Shows the calendar of a picker set to show one, at the picker as a click on its arrow would.
    static bool openCalendar(QDateEdit* picker);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit DatePickerKeys(QDateEdit* picker);
    QDateEdit* picker_;
};

}  // namespace entry
