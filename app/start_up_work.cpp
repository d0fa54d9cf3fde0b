#include "app/start_up_work.h"

#include "app/font_configuration.h"

namespace app {

// The toolkit's font database starts by asking fontconfig for its configuration; once one is current,
// that returns at once. Nothing uses fontconfig before this thread starts, at the top of main(); the
// application object, made while it runs, reads no font, and the first widget is made after finish().
StartUpWork::StartUpWork() : thread_(initialiseFontConfiguration) {}

StartUpWork::~StartUpWork() {
    finish();
}

void StartUpWork::finish() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace app
