#pragma once

#include <thread>

namespace app {

// What the first window needs and can be prepared without the application object, done on a second
// thread while the application object connects to the display: the font configuration. Every window of
// the program shows text, and reading that configuration is the largest single cost of a start.
class StartUpWork {
public:
    StartUpWork();
    ~StartUpWork();
    StartUpWork(const StartUpWork&) = delete;
    StartUpWork& operator=(const StartUpWork&) = delete;

    // Waits for the work; call before the first widget exists.
    void finish();

private:
    std::thread thread_;
};

}  // namespace app
