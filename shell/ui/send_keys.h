#pragma once

class QWidget;

namespace shell {

// Queues the keystrokes Home and Shift+End for the given box, as typed keys would be, and returns at once
// without waiting for them. They are delivered after the event being handled (a mouse press that places
// the caret, say), to the box itself and only while it still holds its window's focus: the window need
// not be the active one (a click into an inactive window, a message box just closed), and keys never
// land in whatever other widget happens to have the focus by then.
void SendHomeShiftEnd(QWidget* box);

}  // namespace shell
