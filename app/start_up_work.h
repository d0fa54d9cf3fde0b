#pragma once

#include <QImage>
#include <QList>
#include <thread>

namespace app {

// What the first window needs and can be prepared without the application object, done on a second
// thread while the application object connects to the display: the font configuration (every window of
// the program shows text, and reading that configuration is the largest single cost of a start) and the
// pictures of the program's icon.
class StartUpWork {
public:
    StartUpWork();
    ~StartUpWork();
    StartUpWork(const StartUpWork&) = delete;
    StartUpWork& operator=(const StartUpWork&) = delete;

    // Waits for the work; call before the first widget exists. Returns the icon's pictures, smallest
    // first (an unreadable one is left out).
    QList<QImage> finish();

private:
    QList<QImage> iconPictures_;
    std::thread thread_;
};

}  // namespace app
