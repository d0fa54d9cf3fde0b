#pragma once

#include <QtGlobal>
#include <functional>

namespace generation {

// How far a long run has come, for its window to show beside the busy pointer. A run that ends within
// about a second shows nothing; a longer one shows the share of its work done, a few times a second,
// and takes the indication away when it ends. The run tells its stages as shares of its whole work.
class RunProgress {
public:
    static constexpr qint64 kDelayMs = 1000;    // nothing before this
    static constexpr qint64 kIntervalMs = 100;  // at most this often after

    // show(percent), 0 to 100; show(-1) takes the indication away. The clock counts milliseconds
    // from any start; by default a monotonic one.
    explicit RunProgress(std::function<void(int percent)> show, std::function<qint64()> clock = {});
    ~RunProgress();
    RunProgress(const RunProgress&) = delete;
    RunProgress& operator=(const RunProgress&) = delete;

    // The run has done this share of its work.
    void reach(int percent);
    // It is `done` of `total` through the part of its work from `from` to `to` percent.
    void reachWithin(int from, int to, qint64 done, qint64 total);
    // The run has ended: an indication shown goes.
    void finish();

private:
    std::function<void(int)> show_;
    std::function<qint64()> clock_;
    qint64 started_ = 0;
    qint64 lastShown_ = 0;
    int percent_ = 0;
    bool shown_ = false;
    bool finished_ = false;
};

}  // namespace generation
