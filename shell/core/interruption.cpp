#include "shell/core/interruption.h"

#include <csignal>
#include <cstring>

#include "shell/core/error_report.h"

namespace shell {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t noted = 0;
struct sigaction saved[std::size(kSignals)];

extern "C" void noteSignal(int signal) {
    noted = signal;
}

}  // namespace

Interruptible::Interruptible() {
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a wait for a pipe's reader or a slow write returns with EINTR, so the job sees it.
    action.sa_flags = 0;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &saved[i]);
}

Interruptible::~Interruptible() {
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &saved[i], nullptr);
}

int interruptingSignal() {
    return noted;
}

void throwIfInterrupted() {
    if (const int signal = noted) {
        const char* name = sigabbrev_np(signal);
        throw RuntimeError(
            QStringLiteral("Interrupted by SIG%1").arg(QString::fromLatin1(name ? name : "?")));
    }
}

void endIfInterrupted() {
    const int signal = noted;
    if (signal == 0)
        return;
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
}

void clearInterruption() {
    noted = 0;
}

}  // namespace shell
