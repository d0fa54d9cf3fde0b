#pragma once

#include <fontconfig/fontconfig.h>

namespace app {

// The font configuration fontconfig's own initialisation would load (the same files, the same font
// folders, the same fonts), loaded faster: that initialisation also parses every configuration template
// the system offers (conf.avail, some sixty files here) only to keep their descriptions for listing
// tools, which no font match reads. Returns nullptr where this cannot stand in for the library's own
// load (an older library, no cache folder configured, a failure); the caller owns the result.
FcConfig* loadFontConfiguration();

// Makes the loaded configuration fontconfig's current one, or lets the library load its own. Call before
// anything else in the process uses fontconfig: a configuration made current replaces any other.
void initialiseFontConfiguration();

}  // namespace app
