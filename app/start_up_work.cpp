#include "app/start_up_work.h"

#include <fontconfig/fontconfig.h>

namespace app {

// The toolkit's font database starts by loading the same configuration; once loaded, that call returns
// at once.
StartUpWork::StartUpWork() : thread_([] { FcInit(); }) {}

StartUpWork::~StartUpWork() {
    finish();
}

void StartUpWork::finish() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace app
