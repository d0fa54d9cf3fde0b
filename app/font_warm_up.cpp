#include "app/font_warm_up.h"

#include <fontconfig/fontconfig.h>

namespace app {

// The toolkit's font database starts by loading the same configuration; once loaded, that call returns
// at once.
FontWarmUp::FontWarmUp() : thread_([] { FcInit(); }) {}

FontWarmUp::~FontWarmUp() {
    finish();
}

void FontWarmUp::finish() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace app
