#include "app/start_up_work.h"

#include <fontconfig/fontconfig.h>

namespace app {

// The toolkit's font database starts by asking fontconfig for its configuration; once the library is
// initialised, that returns at once. Nothing uses fontconfig before this thread starts, at the top of
// main(); the application object, made while it runs, reads no font, and the first widget is made after
// finish(). A failed initialisation is left for the toolkit to meet as it would without this thread.
StartUpWork::StartUpWork() : thread_([] { FcInit(); }) {}

StartUpWork::~StartUpWork() {
    finish();
}

void StartUpWork::finish() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace app
