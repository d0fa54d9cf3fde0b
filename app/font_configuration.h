#pragma once

#include <fontconfig/fontconfig.h>

namespace app {

// The font configuration fontconfig's own initialisation would load (the same files, the same font
// folders, the same fonts), loaded faster: that initialisation also parses every configuration template
// the system offers (conf.avail, over fifty files on Debian 12) only to keep their descriptions for listing
// tools, which no font match reads. Returns nullptr where this cannot stand in for the library's own
// load (an older library, no cache folder configured, a failure); the caller owns the result.
FcConfig* loadFontConfiguration();

// From this fontconfig version on (2.14), making a configuration current takes a reference of its own, and
// loadFontConfiguration() loads one.
inline constexpr int kFontConfigurationLoadedFrom = 21400;

// Makes the loaded configuration fontconfig's current one, or lets the library load its own. Call before
// anything else in the process uses fontconfig: a configuration made current replaces any other.
void initialiseFontConfiguration();

}  // namespace app
