#pragma once

#include <QList>
#include <QPointer>
#include <QWidget>

namespace entry {

// A window's tab sequence with the semantics of a tab position: setting a control's position takes it out
// of the sequence and inserts it there, and every control behind it moves up by one.
class TabSequence {
public:
    void append(QWidget* control) { controls_.append(control); }
    void setPosition(QWidget* control, qsizetype position);
    const QList<QPointer<QWidget>>& controls() const { return controls_; }

    // Hands the sequence to the window's focus chain.
    void apply() const;

private:
    QList<QPointer<QWidget>> controls_;
};

}  // namespace entry
