#pragma once

#include <thread>

namespace app {

// Loads the font configuration on a second thread while the application object connects to the
// display: every window of the program shows text, and reading the configuration is the largest single
// cost of its first start. finish() waits for it; call it before the first widget exists.
class FontWarmUp {
public:
    FontWarmUp();
    ~FontWarmUp();
    FontWarmUp(const FontWarmUp&) = delete;
    FontWarmUp& operator=(const FontWarmUp&) = delete;

    void finish();

private:
    std::thread thread_;
};

}  // namespace app
