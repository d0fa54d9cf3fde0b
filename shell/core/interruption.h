#pragma once

// A job that writes files (an export from the command line) ends cleanly when it is asked to stop: while
// an Interruptible lives, SIGINT, SIGTERM and SIGHUP only note the signal and cut a waiting system call
// short; the job looks at the note between its steps and in its waits, stops with an error, takes back
// what it made, and the process then ends by the signal as if it had not been caught.

#include <QString>

namespace shell {

class Interruptible {
public:
    Interruptible();
    ~Interruptible();
    Interruptible(const Interruptible&) = delete;
    Interruptible& operator=(const Interruptible&) = delete;
};

// The signal that asked the job to stop, or 0.
int interruptingSignal();

// Throws shell::RuntimeError ("Interrupted by SIGTERM") once a signal has asked the job to stop.
void throwIfInterrupted();

// Ends the process by the signal that asked the job to stop, with its default action, as a shell expects
// of a program it interrupted. Returns only when no signal came.
void endIfInterrupted();

// Forgets a noted signal (tests).
void clearInterruption();

}  // namespace shell
