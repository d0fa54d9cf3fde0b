#include "generation/run_progress.h"

#include <QElapsedTimer>
#include <algorithm>
#include <memory>

namespace generation {

namespace {
std::function<qint64()> monotonicClock() {
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    return [timer] { return timer->elapsed(); };
}
}  // namespace

RunProgress::RunProgress(std::function<void(int)> show, std::function<qint64()> clock)
    : show_(std::move(show)), clock_(clock ? std::move(clock) : monotonicClock()), started_(clock_()) {}

RunProgress::~RunProgress() {
    finish();
}

void RunProgress::reach(int percent) {
    if (!show_ || finished_)
        return;
    percent_ = std::clamp(std::max(percent_, percent), 0, 100);
    const qint64 now = clock_();
    if (now - started_ < kDelayMs || (shown_ && now - lastShown_ < kIntervalMs))
        return;
    shown_ = true;
    lastShown_ = now;
    show_(percent_);
}

void RunProgress::reachWithin(int from, int to, qint64 done, qint64 total) {
    if (total <= 0)
        return;
    reach(from + int((to - from) * std::clamp(done, qint64(0), total) / total));
}

void RunProgress::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (shown_ && show_)
        show_(-1);
}

}  // namespace generation
