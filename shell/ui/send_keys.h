#pragma once

namespace shell {

// Queues the keystrokes Home and Shift+End for whichever widget has the keyboard focus when they are
// processed, as typed keys would be; returns at once without waiting for them.
void SendHomeShiftEnd();

}  // namespace shell
